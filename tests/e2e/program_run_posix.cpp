// The process side of program_run.h on POSIX systems: fork and execve with
// the sandbox's environment, signals, and a recording xdg-open first on PATH.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "program_run.h"

const int kKilledExit = -SIGKILL;

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Home::InstallOpenRecorder() {
    chmod(Below("run").c_str(), 0700);
    std::string script = "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + xdgLog + "'\n";
    WriteAll(Below("bin/xdg-open"), script);
    chmod(Below("bin/xdg-open").c_str(), 0755);
}

Program::Program(const Home &home, const std::string &program, const RunOptions &options) : home(home) {
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        return;

    // Everything the child needs is built before fork: after it, only
    // async-signal-safe calls are made.
    std::vector<std::string> env = {
        "HOME=" + home.Below(""),
        "XDG_DATA_HOME=" + home.Below("xdg"),
        "XDG_RUNTIME_DIR=" + home.Below("run"),
        "TMPDIR=" + home.tmp,
        "PATH=" + home.Below("bin") + ":/usr/local/bin:/usr/bin:/bin",
        "QT_QPA_PLATFORM=offscreen",
        "LANG=C.UTF-8",
    };
    for (const char *name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"})
        if (const char *value = std::getenv(name))
            env.push_back(std::string(name) + "=" + value);
    if (const char *value = std::getenv("LSAN_OPTIONS"))
        env.push_back(std::string("LSAN_OPTIONS=") + value);
    std::vector<std::string> args = {program};
    args.insert(args.end(), options.args.begin(), options.args.end());
    std::vector<char *> argv, envp;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string work = home.work;
    const uint64_t limit = options.fileSizeLimit;

    pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (null < 0)
            _exit(126);
        dup2(null, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (chdir(work.c_str()) != 0)
            _exit(126);
        if (limit > 0) {
            // SIGXFSZ as a shell leaves it: the program itself must keep the
            // limit from killing it.
            struct sigaction standard {};
            standard.sa_handler = SIG_DFL;
            sigaction(SIGXFSZ, &standard, nullptr);
            struct rlimit r;
            r.rlim_cur = r.rlim_max = limit;
            setrlimit(RLIMIT_FSIZE, &r);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    reader = std::thread([this, outFd = outPipe[0], errFd = errPipe[0]] {
        pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        int open = 2;
        char block[65536];
        while (open > 0) {
            if (poll(fds, 2, -1) < 0 && errno != EINTR)
                break;
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0)
                    continue;
                ssize_t n = read(fds[i].fd, block, sizeof block);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                    continue;
                }
                Append(i == 1, block, static_cast<size_t>(n));
            }
        }
    });
}

Program::~Program() {
    if (pid > 0 && !reaped) {
        kill(pid, SIGKILL);
        Wait(30);
    }
    if (reader.joinable())
        reader.join();
}

void Program::Signal(int signal) {
    if (pid > 0 && !reaped)
        kill(pid, signal);
}

void Program::Stop() { Signal(SIGTERM); }
void Program::Kill() { Signal(SIGKILL); }

bool Program::Running() {
    if (pid <= 0 || reaped)
        return false;
    int s = 0;
    pid_t r = waitpid(pid, &s, WNOHANG);
    if (r == pid) {
        reaped = true;
        status = s;
        return false;
    }
    return true;
}

int Program::Wait(double seconds) {
    if (pid <= 0)
        return -1000;
    if (!reaped) {
        bool ended = WaitUntil([this] { return !Running(); }, seconds);
        if (!ended) {
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            reaped = true;
            return -1000;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}
