#include "program_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "vorlo/platform.h"

namespace fs = std::filesystem;

const char *const kEzRssId = "{6E0B3C1A-9D42-4F7B-A8E5-2C71D94B0F63}";
const char *const kGenericId = "{B4F19E27-53C8-4A06-9D1E-7A8C02E6F5B9}";
const char *const kNewzbinId = "{3C9E5A71-0B2D-4E8F-9A16-D47B28C05E93}";
const char *const kNzbMatrixId = "{A81F4D26-7C3B-4B95-8E02-5D6F19B3C7A4}";

namespace {

bool IsPluginName(const std::string &name) {
    if (name.size() < 7 || strncasecmp(name.c_str(), "qln_", 4) != 0)
        return false;
    size_t dot = name.rfind('.');
    return dot != std::string::npos && strcasecmp(name.c_str() + dot, ".so") == 0;
}

}  // namespace

std::vector<std::string> PluginLoadOrder(const std::string &program) {
    std::vector<std::string> order;
    std::string folder = fs::path(program).parent_path().string() + "/plugins";
    if (DIR *dir = opendir(folder.c_str())) {
        while (dirent *entry = readdir(dir))
            if (IsPluginName(entry->d_name))
                order.push_back(entry->d_name);
        closedir(dir);
    }
    return order;
}

Home::Home() {
    data = box.File("xdg/Quillon/");
    nzb = box.File("nzb/");
    torrents = box.File("torrents/");
    tmp = box.File("tmp/");
    work = box.File("work/");
    xdgLog = box.File("xdg-open.log");
    for (const std::string &folder : {data, nzb, torrents, tmp, work, box.File("bin/"), box.File("run/")})
        fs::create_directories(folder);
    chmod(box.File("run").c_str(), 0700);
    std::string script = "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + xdgLog + "'\n";
    WriteAll(box.File("bin/xdg-open"), script);
    chmod(box.File("bin/xdg-open").c_str(), 0755);
}

std::vector<std::string> Home::AllFiles() const {
    std::vector<std::string> files;
    std::error_code error;
    for (auto &entry : fs::recursive_directory_iterator(box.Path(), error)) {
        if (!entry.is_regular_file())
            continue;
        std::string relative = fs::relative(entry.path(), box.Path()).string();
        if (relative == "bin/xdg-open" || relative == "xdg-open.log")
            continue;
        files.push_back(relative);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> Home::List(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (auto &entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Home::FilesBelow(const std::string &folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (auto &entry : fs::recursive_directory_iterator(folder, error))
        if (!entry.is_directory())
            files.push_back(fs::relative(entry.path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> Home::XdgOpenCalls() const {
    std::vector<std::string> calls;
    std::istringstream in(ReadAll(xdgLog));
    for (std::string line; std::getline(in, line);)
        calls.push_back(line);
    return calls;
}

std::string ShowsConfText(const std::vector<ShowEntry> &shows) {
    std::string text = "Shows {\n";
    for (size_t i = 0; i < shows.size(); ++i) {
        const ShowEntry &s = shows[i];
        text += "\tShow" + std::to_string(i) + " {\n";
        text += "\t\tShowName " + s.name + "\n";
        if (!s.keywords.empty())
            text += "\t\tKeywords " + s.keywords + "\n";
        text += "\t\tSkip " + std::to_string(s.skip) + "\n";
        text += "\t\tPause " + std::to_string(s.pause) + "\n";
        text += "\t\tHD_Only " + std::to_string(s.hd) + "\n";
        text += "\t\tSeason " + std::to_string(s.season) + "\n";
        text += "\t\tEpisode " + std::to_string(s.episode) + "\n";
        if (s.nextSearch != 0)
            text += "\t\tNextSearch " + std::to_string(static_cast<int32_t>(s.nextSearch)) + "\n";
        text += "\t};\n";
    }
    text += "};\n\n";
    return text;
}

std::string MainConfText(int autoScan, int interval, int nzbExec, int torrentExec,
                         const std::string &nzbFolder, const std::string &torrentFolder) {
    return "Quill {\n\tAutoScan " + std::to_string(autoScan) + "\n\tSecondsBetweenScans " +
           std::to_string(interval) + "\n\tminimizeToTray 0\n\tconfirmExit 1\n\tNZB_Exec " +
           std::to_string(nzbExec) + "\n\tTorrent_Exec " + std::to_string(torrentExec) +
           "\n\tNZB_Folder " + nzbFolder + "\n\tTorrent_Folder " + torrentFolder + "\n};\n\n";
}

std::string PluginsIniText(const PluginSetup &s) {
    std::string text = "[plugins]\n";
    text += std::string(kEzRssId) + "=" + (s.ezrss ? "1" : "0") + "\n";
    text += std::string(kGenericId) + "=" + (s.generic ? "1" : "0") + "\n";
    text += std::string(kNewzbinId) + "=" + (s.newzbin ? "1" : "0") + "\n";
    text += std::string(kNzbMatrixId) + "=" + (s.nzbmatrix ? "1" : "0") + "\n";
    text += "\n[ezrss]\nurl=" + s.address + "\n";
    text += "\n[generic]\nurl=" + s.address + "\n";
    text += "\n[newzbin]\nurl=" + s.address + "\nuser=" + s.newzbinUser + "\npass=" + s.newzbinPass +
            "\nmode=" + s.newzbinMode + "\n";
    text += "\n[nzbmatrix]\nurl=" + s.address + "\nuser=" + s.matrixUser + "\nkey=" + s.matrixKey + "\n";
    return text;
}

Program::Program(const Home &home, const std::string &program, const RunOptions &options) : home(home) {
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        return;

    // Everything the child needs is built before fork: after it, only
    // async-signal-safe calls are made.
    std::vector<std::string> env = {
        "HOME=" + home.box.Path(),
        "XDG_DATA_HOME=" + home.box.File("xdg"),
        "XDG_RUNTIME_DIR=" + home.box.File("run"),
        "TMPDIR=" + home.tmp,
        "PATH=" + home.box.File("bin") + ":/usr/local/bin:/usr/bin:/bin",
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
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigaction(SIGXFSZ, &ignore, nullptr);
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
                std::lock_guard<std::mutex> hold(outputLock);
                (i == 0 ? out : err).append(block, static_cast<size_t>(n));
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

bool Program::WaitForInstanceLock(double seconds) {
    const std::string lock = home.Data("Varnek_Quillon.lock");
    return WaitUntil(
        [&] {
            if (!Running())
                return true;
            if (!PlatformFileExists(lock.c_str()))
                return false;
            int fd = PlatformAcquireInstanceLock(lock.c_str());
            if (fd < 0)
                return true;
            PlatformReleaseInstanceLock(fd);
            return false;
        },
        seconds) &&
           Running();
}

std::string Program::Out() const {
    std::lock_guard<std::mutex> hold(outputLock);
    return out;
}
std::string Program::Err() const {
    std::lock_guard<std::mutex> hold(outputLock);
    return err;
}

bool WaitUntil(const std::function<bool()> &done, double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string ReadAll(const std::string &path) { return ReadFileBytes(path); }
void WriteAll(const std::string &path, const std::string &content) { WriteFileBytes(path, content); }
bool Exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

std::vector<std::string> LinesWith(const std::string &output, const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        if (line.find(text) != std::string::npos)
            lines.push_back(line);
    return lines;
}
