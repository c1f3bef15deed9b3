// The real quillon binary on the offscreen platform, in a sandbox data folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "sandbox.h"
#include "vorlo/platform.h"

namespace {

// Starts the program with the sandbox as XDG_DATA_HOME and HOME; standard
// error goes to <sandbox>/stderr.txt.
pid_t StartProgram(const Sandbox &box) {
    const std::string err = box.File("stderr.txt");
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            dup2(fd, 2);
            close(fd);
        }
        setenv("XDG_DATA_HOME", box.Path().c_str(), 1);
        setenv("HOME", box.Path().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(QUILLON_PROGRAM, QUILLON_PROGRAM, static_cast<char *>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits for the process to end; its exit code, or -signal when killed.
int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Waits until the program holds its instance lock: a hang guard, not a timing
// assertion (the program normally gets there at once).
bool WaitForInstanceLock(const Sandbox &box, pid_t pid) {
    const std::string lock = box.File("Quillon/Varnek_Quillon.lock");
    for (int i = 0; i < 6000; ++i) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return false;
        if (PlatformFileExists(lock.c_str())) {
            int fd = PlatformAcquireInstanceLock(lock.c_str());
            if (fd < 0)
                return true;  // held by the program
            PlatformReleaseInstanceLock(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class ProgramSignal : public ::testing::TestWithParam<int> {};

}  // namespace

TEST_P(ProgramSignal, RunsTheExitSequenceAndWritesMainConf) {
    Sandbox box;
    pid_t pid = StartProgram(box);
    ASSERT_GT(pid, 0);
    if (!WaitForInstanceLock(box, pid)) {
        kill(pid, SIGKILL);
        WaitFor(pid);
        FAIL() << "the program did not start: " << box.Read("stderr.txt");
    }
    ASSERT_FALSE(box.Exists("Quillon/main.conf"));
    kill(pid, GetParam());
    EXPECT_EQ(WaitFor(pid), 0) << box.Read("stderr.txt");
    const std::string conf = box.Read("Quillon/main.conf");
    EXPECT_NE(conf.find("Quill"), std::string::npos);
    EXPECT_NE(conf.find("confirmExit 1"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSignal, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST(Program, ASecondCopyShowsTheFatalErrorAndEndsWithZero) {
    Sandbox box;
    ASSERT_TRUE(PlatformMakeFolder(box.File("Quillon").c_str(), 0700));
    const std::string lock = box.File("Quillon/Varnek_Quillon.lock");
    int held = PlatformAcquireInstanceLock(lock.c_str());  // the first copy
    ASSERT_GE(held, 0);
    pid_t pid = StartProgram(box);
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitFor(pid), 0);
    PlatformReleaseInstanceLock(held);
    EXPECT_NE(box.Read("stderr.txt").find("Fatal Error: Error: Quillon is already running!"),
              std::string::npos);
    EXPECT_FALSE(box.Exists("Quillon/main.conf"));
}
