#include "headless_child.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

struct HeadlessChild::Process {
    pid_t pid = -1;
};

HeadlessChild::HeadlessChild(const std::vector<std::string> &args) : process(new Process) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return;
    process->pid = fork();
    if (process->pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char *> argv;
        std::string program = QUILLON_HEADLESS;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (std::string &a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    if (process->pid < 0)
        close(pipeFds[0]);
    else
        out = fdopen(pipeFds[0], "r");
}

HeadlessChild::~HeadlessChild() {
    if (process->pid > 0) {
        kill(process->pid, SIGKILL);
        Wait();
    }
    if (out)
        std::fclose(out);
    delete process;
}

bool HeadlessChild::Started() const { return process->pid > 0 && out; }

bool HeadlessChild::Stop() { return process->pid > 0 && kill(process->pid, SIGTERM) == 0; }

int HeadlessChild::Wait() {
    if (process->pid <= 0)
        return -1;
    int status = 0;
    pid_t ended = waitpid(process->pid, &status, 0);
    process->pid = -1;
    return ended > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
