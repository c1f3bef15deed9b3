// Platform layer: folders, opening with the desktop handler, moving files,
// and the single-instance lock.
#include "vorlo/platform.h"

#include "sandbox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifndef _WIN32
// Sets (or with nullptr unsets) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name(name) {
        const char *old = getenv(name);
        had = old != nullptr;
        if (had)
            saved = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (had)
            setenv(name.c_str(), saved.c_str(), 1);
        else
            unsetenv(name.c_str());
    }

private:
    std::string name, saved;
    bool had = false;
};

std::string DataFolder(bool *ok = nullptr) {
    char out[1024];
    bool result = PlatformDataFolder("Quillon", out, sizeof out);
    if (ok)
        *ok = result;
    return out;
}

unsigned ModeOf(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}
#endif

}  // namespace

// Where the data, temporary and program folders are, and what their modes
// are, is POSIX's here; platform_win32_test.cpp has the Windows side.
#ifndef _WIN32

TEST(DataFolder, UnderXdgDataHomeCreatedPrivate) {
    Sandbox box;
    ScopedEnv xdg("XDG_DATA_HOME", box.File("share/deeper").c_str());
    bool ok = false;
    EXPECT_EQ(DataFolder(&ok), box.File("share/deeper/Quillon/"));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(PlatformFolderExists(box.File("share/deeper/Quillon").c_str()));
    EXPECT_EQ(ModeOf(box.File("share/deeper/Quillon")), 0700u);
    // A second lookup finds the existing folder.
    EXPECT_EQ(DataFolder(&ok), box.File("share/deeper/Quillon/"));
    EXPECT_TRUE(ok);
}

TEST(DataFolder, FallsBackToHomeWhenXdgIsUnsetEmptyOrRelative) {
    Sandbox box;
    ScopedEnv home("HOME", box.Path().c_str());
    for (const char *value : {static_cast<const char *>(nullptr), "", "relative/share"}) {
        ScopedEnv xdg("XDG_DATA_HOME", value);
        bool ok = false;
        EXPECT_EQ(DataFolder(&ok), box.File(".local/share/Quillon/"));
        EXPECT_TRUE(ok);
    }
    EXPECT_EQ(ModeOf(box.File(".local/share/Quillon")), 0700u);
    EXPECT_FALSE(PlatformFolderExists("relative"));
}

TEST(DataFolder, CurrentFolderWhenNoneCanBeNamedOrMade) {
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    {
        ScopedEnv home("HOME", nullptr);
        bool ok = true;
        EXPECT_EQ(DataFolder(&ok), "./");
        EXPECT_FALSE(ok);
    }
    Sandbox box;
    box.Write("file", "in the way");
    ScopedEnv home("HOME", box.File("file").c_str());
    bool ok = true;
    EXPECT_EQ(DataFolder(&ok), "./");
    EXPECT_FALSE(ok);
    char tiny[8];
    ScopedEnv xdg2("XDG_DATA_HOME", box.Path().c_str());
    EXPECT_FALSE(PlatformDataFolder("Quillon", tiny, sizeof tiny));
    EXPECT_STREQ(tiny, "./");
}

TEST(Folders, TempAndProgramFolders) {
    Sandbox box;
    char out[1024];
    {
        ScopedEnv tmp("TMPDIR", box.Path().c_str());
        PlatformTempFolder(out, sizeof out);
        EXPECT_EQ(std::string(out), box.Path());
    }
    {
        std::string bare = box.Path().substr(0, box.Path().size() - 1);
        ScopedEnv tmp("TMPDIR", bare.c_str());
        PlatformTempFolder(out, sizeof out);
        EXPECT_EQ(std::string(out), box.Path());
    }
    PlatformProgramFolder(out, sizeof out);
    std::string folder = out;
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(PlatformFileExists((folder + "vorlo_tests").c_str())) << folder;
}

// The private temporary folder is this process's own, inside a per-user
// folder nobody else can use; stale folders of ended runs are removed, running
// ones kept; new files there are exclusive and 0600.
TEST(Folders, PrivateTempFolder) {
    Sandbox box;
    ScopedEnv tmp("TMPDIR", box.Path().c_str());
    char out[1024];
    ASSERT_TRUE(PlatformPrivateTempFolder(out, sizeof out));
    std::string root = box.Path() + "quillon-" + std::to_string(geteuid()) + "/";
    EXPECT_EQ(std::string(out), root + std::to_string(getpid()) + "/");
    struct stat st;
    ASSERT_EQ(lstat(root.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    std::string file = std::string(out) + "a.nzb";
    FILE *f = PlatformCreateFile(file.c_str());
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    errno = 0;
    EXPECT_EQ(PlatformCreateFile(file.c_str()), nullptr);
    EXPECT_EQ(errno, EEXIST);

    // An ended run (pid beyond pid_max) is cleaned up; this one is kept.
    ASSERT_EQ(mkdir((root + "999999999").c_str(), 0700), 0);
    box.Write("quillon-" + std::to_string(geteuid()) + "/999999999/left.nzb", "x");
    PlatformRemoveStaleTempFolders();
    EXPECT_FALSE(PlatformFolderExists((root + "999999999").c_str()));
    EXPECT_TRUE(PlatformFileExists(file.c_str()));
    // Exit removes the per-user folder too once nothing else is in it.
    ASSERT_EQ(mkdir((root + "1").c_str(), 0700), 0);  // a copy that still runs
    PlatformRemovePrivateTempFolder();
    EXPECT_FALSE(PlatformFolderExists(out));
    EXPECT_TRUE(PlatformFolderExists(root.c_str()));
    rmdir((root + "1").c_str());
    ASSERT_TRUE(PlatformPrivateTempFolder(out, sizeof out));
    PlatformRemovePrivateTempFolder();
    EXPECT_FALSE(PlatformFolderExists(root.c_str()));
    EXPECT_EQ(PlatformTakeTempFolderNotice(), "");
}

TEST(Folders, UnsafePerUserTempFolderIsReplacedByAFreshOneWithOneNotice) {
    Sandbox box;
    std::string name = "quillon-" + std::to_string(geteuid());
    std::filesystem::create_directories(box.File("elsewhere"));
    // What another user may plant under the name, one temporary folder each.
    std::vector<std::pair<std::string, std::string>> plants = {{"file", "it is not a folder"},
                                                               {"link", "it is a symbolic link"}};
    if (geteuid() == 0)
        plants.push_back({"foreign", "it belongs to another user"});
    for (const auto &[kind, reason] : plants) {
        std::string planted = box.File(kind + "/" + name);
        if (kind == "file")
            box.Write(kind + "/" + name, "x");
        std::filesystem::create_directories(box.File(kind));
        if (kind == "link") {
            ASSERT_EQ(symlink(box.File("elsewhere").c_str(), planted.c_str()), 0);
        }
        if (kind == "foreign") {
            ASSERT_EQ(mkdir(planted.c_str(), 0777), 0);
            ASSERT_EQ(chown(planted.c_str(), 4242, 4242), 0);
            chmod(planted.c_str(), 0777);
        }
        ScopedEnv tmp("TMPDIR", box.File(kind).c_str());
        char out[1024];
        ASSERT_TRUE(PlatformPrivateTempFolder(out, sizeof out)) << kind;
        std::string fresh = std::string(out).substr(0, std::string(out).rfind('/', strlen(out) - 2));
        EXPECT_EQ(fresh.substr(0, planted.size() + 1), planted + "-") << kind;
        struct stat st;
        ASSERT_EQ(lstat(fresh.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_EQ(PlatformTakeTempFolderNotice(), "The temporary folder " + planted + " cannot be used (" + reason +
                                                      "); downloads go to " + fresh + " instead.");
        EXPECT_EQ(PlatformTakeTempFolderNotice(), "");  // said once
        PlatformRemovePrivateTempFolder();
        EXPECT_FALSE(PlatformFolderExists(fresh.c_str()));
    }
}

#endif

TEST(Folders, ExistsAndMakeFolder) {
    Sandbox box;
    box.Write("file", "x");
    EXPECT_TRUE(PlatformFileExists(box.File("file").c_str()));
    EXPECT_FALSE(PlatformFolderExists(box.File("file").c_str()));
    EXPECT_FALSE(PlatformFileExists(box.Path().c_str()));
    EXPECT_TRUE(PlatformFolderExists(box.Path().c_str()));
    EXPECT_FALSE(PlatformFileExists(box.File("none").c_str()));
    EXPECT_TRUE(PlatformMakeFolder(box.File("new").c_str()));
    EXPECT_TRUE(PlatformMakeFolder(box.File("new/").c_str()));  // already there
    EXPECT_TRUE(PlatformMakeFolder(box.File("private").c_str(), 0700));
#ifndef _WIN32
    EXPECT_EQ(ModeOf(box.File("private")), 0700u);
#endif
    EXPECT_FALSE(PlatformMakeFolder(box.File("file").c_str()));
    EXPECT_FALSE(PlatformMakeFolder(box.File("a/b").c_str()));  // one level only
}

TEST(MoveFile, RenamesWithinOneFileSystem) {
    Sandbox box;
    box.Write("from.nzb", "payload");
    EXPECT_EQ(PlatformMoveFile(box.File("from.nzb").c_str(), box.File("to.nzb").c_str()), 0);
    EXPECT_FALSE(box.Exists("from.nzb"));
    EXPECT_EQ(box.Read("to.nzb"), "payload");
    EXPECT_EQ(PlatformMoveFile(box.File("absent").c_str(), box.File("x").c_str()), ENOENT);
}

TEST(MoveFile, NeverReplacesAnExistingFile) {
    Sandbox box;
    box.Write("from", "new");
    box.Write("to", "old");
    EXPECT_EQ(PlatformMoveFile(box.File("from").c_str(), box.File("to").c_str()), EEXIST);
    EXPECT_EQ(box.Read("from"), "new");
    EXPECT_EQ(box.Read("to"), "old");
}

#ifndef _WIN32
TEST(MoveFile, CopiesAcrossFileSystems) {
    Sandbox box;
    struct stat shm, sandbox;
    if (stat("/dev/shm", &shm) != 0 || stat(box.Path().c_str(), &sandbox) != 0 || shm.st_dev == sandbox.st_dev)
        GTEST_SKIP() << "no second file system to move across";
    char name[] = "/dev/shm/quillon-move-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    std::string content(200000, 'z');
    WriteFileBytes(name, content);
    chmod(name, 0640);

    box.Write("taken", "old");
    EXPECT_EQ(PlatformMoveFile(name, box.File("taken").c_str()), EEXIST);
    EXPECT_EQ(box.Read("taken"), "old");
    EXPECT_EQ(ReadFileBytes(name), content);

    EXPECT_EQ(PlatformMoveFile(name, box.File("moved").c_str()), 0);
    EXPECT_EQ(box.Read("moved"), content);
    EXPECT_EQ(ModeOf(box.File("moved")), 0640u);
    EXPECT_NE(access(name, F_OK), 0);
    unlink(name);
}

TEST(Open, StartsXdgOpenFromPathDetached) {
    Sandbox box;
    std::string record = box.File("opened.txt");
    box.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + record + ".tmp'\nmv '" + record +
                                  ".tmp' '" + record + "'\n");
    chmod(box.File("bin/xdg-open").c_str(), 0755);
    const char *oldPath = getenv("PATH");
    ScopedEnv path("PATH", (box.File("bin") + ":" + (oldPath ? oldPath : "/usr/bin:/bin")).c_str());
    EXPECT_TRUE(PlatformOpen("/downloads/Show S01E02 (x).nzb"));
    // The stand-in runs on its own; wait until it has written its record.
    while (!box.Exists("opened.txt"))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(box.Read("opened.txt"), "1\n/downloads/Show S01E02 (x).nzb\n");
    // Not our child: nothing is left for us to wait for.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(Open, XdgOpenThatFindsNoProgramFailsOneThatKeepsRunningSucceeds) {
    Sandbox box;
    const char *oldPath = getenv("PATH");
    ScopedEnv path("PATH", (box.File("bin") + ":" + (oldPath ? oldPath : "/usr/bin:/bin")).c_str());
    box.Write("bin/xdg-open", "#!/bin/sh\nexit 3\n");  // no program for the type
    chmod(box.File("bin/xdg-open").c_str(), 0755);
    EXPECT_FALSE(PlatformOpen("/downloads/a.nzb"));
    std::filesystem::remove(box.File("bin/xdg-open"));
    box.Write("bin/xdg-open", "#!/bin/sh\nexec sleep 5 </dev/null >/dev/null 2>&1\n");  // waits for the program it started
    chmod(box.File("bin/xdg-open").c_str(), 0755);
    EXPECT_TRUE(PlatformOpen("/downloads/a.nzb"));
}

TEST(Open, FailsWhenXdgOpenCannotBeStarted) {
    Sandbox box;
    box.Write("empty/.keep", "");
    ScopedEnv path("PATH", box.File("empty").c_str());
    EXPECT_FALSE(PlatformOpen("http://example.invalid/"));
}

TEST(InstanceLock, HeldByOneProcessOnly) {
    Sandbox box;
    std::string lock = box.File("Varnek_Quillon.lock");
    int fd = PlatformAcquireInstanceLock(lock.c_str());
    ASSERT_GE(fd, 0);
    // A second process cannot take it while we hold it...
    auto childTakes = [&] {
        pid_t child = fork();
        if (child == 0)
            _exit(PlatformAcquireInstanceLock(lock.c_str()) >= 0 ? 0 : 1);
        int status = -1;
        waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    EXPECT_FALSE(childTakes());
    PlatformReleaseInstanceLock(fd);
    // ...and can once we let it go.
    EXPECT_TRUE(childTakes());
}

TEST(InstanceLock, DroppedWhenTheHoldingProcessDies) {
    Sandbox box;
    std::string lock = box.File("Varnek_Quillon.lock");
    int ready[2], hold[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(hold), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        close(hold[1]);
        char ok = PlatformAcquireInstanceLock(lock.c_str()) >= 0 ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        char c;
        (void)!read(hold[0], &c, 1);  // until the parent closes its end
        _exit(0);
    }
    close(ready[1]);
    close(hold[0]);
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');
    EXPECT_EQ(PlatformAcquireInstanceLock(lock.c_str()), -1);
    close(hold[1]);
    waitpid(child, nullptr, 0);
    int fd = PlatformAcquireInstanceLock(lock.c_str());
    EXPECT_GE(fd, 0);
    PlatformReleaseInstanceLock(fd);
    close(ready[0]);
    EXPECT_EQ(PlatformAcquireInstanceLock(box.File("no/such/folder/lock").c_str()), -1);
}
#endif
