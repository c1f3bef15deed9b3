#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "checkstate.h"
#include "core_fixture.h"
#include "lifecycle.h"
#include "vorlo/platform.h"

namespace fs = std::filesystem;

namespace {

class LifecycleTest : public CoreTest {
protected:
    std::string Data() const { return box.Path() + "data/"; }
    int Start() {
        char arg0[] = "quillon";
        char *argv[] = {arg0, nullptr};
        return StartupBeforeWindow(1, argv, Data().c_str());
    }
    // Every file below the data folder with its contents.
    std::set<std::string> Files() const {
        std::set<std::string> out;
        std::error_code ec;
        for (auto &entry : fs::recursive_directory_iterator(Data(), ec))
            out.insert(entry.path().string() + "=" +
                       (entry.is_regular_file() ? ReadFileBytes(entry.path().string()) : "<dir>"));
        return out;
    }
};

TEST_F(LifecycleTest, HeadlessStartAndExitOnAFreshFolder) {
    ASSERT_EQ(Start(), -1);
    EXPECT_EQ(HostArgCount(), 1);
    EXPECT_STREQ(HostArg(0), "quillon");
    EXPECT_EQ(HostArg(1), nullptr);
    EXPECT_EQ(std::string(g_paths.DataFolder), Data());
    EXPECT_EQ(std::string(g_settings.NZB_Folder), Data() + Native("downloads/"));
    EXPECT_EQ(std::string(g_settings.Torrent_Folder), Data() + Native("downloads/"));
    EXPECT_TRUE(fs::is_directory(Data() + "downloads"));
    EXPECT_EQ(g_settings.SecondsBetweenScans, 900);
    EXPECT_EQ(ShowCount(), 0);
    EXPECT_FALSE(box.Exists("data/main.conf"));
    EXPECT_FALSE(box.Exists("data/shows.conf"));
    EXPECT_FALSE(box.Exists("data/seen.conf"));
    EXPECT_TRUE(front.Messages().empty());
    EXPECT_FALSE(shuttingDown);

    ExitBeginShutdown();
    EXPECT_TRUE(shuttingDown);
    ExitSaveSettings();
    EXPECT_TRUE(box.Exists("data/main.conf"));
    EXPECT_TRUE(fs::is_directory(Data() + "backup"));
    EXPECT_FALSE(box.Exists("data/shows.conf"));
    EXPECT_FALSE(box.Exists("data/seen.conf"));
    EXPECT_EQ(ExitRelease(), 0);

    // The next start reads what the last one wrote, and can take the lock again.
    ASSERT_EQ(Start(), -1);
    EXPECT_EQ(std::string(g_settings.NZB_Folder), Data() + Native("downloads/"));
    EXPECT_EQ(ExitRelease(), 0);
}

TEST_F(LifecycleTest, StartLoadsEveryFileAndFixesFolders) {
    box.Write("data/main.conf", "Quill {\n AutoScan 1\n NZB_Folder " + box.Path() + "nzb\n Torrent_Folder " +
                                    box.Path() + "tor//\n};\n");
    box.Write("data/shows.conf", "Shows {\n Show0 {\n  ShowName B\n };\n Show1 {\n  ShowName A\n };\n};\n");
    box.Write("data/seen.conf", "rel=" + std::to_string(FakeNow()) + "\r\n");
    ASSERT_EQ(Start(), -1);
    EXPECT_EQ(g_settings.AutoScan, 1);
    EXPECT_EQ(std::string(g_settings.NZB_Folder), box.Path() + Native("nzb/"));
    EXPECT_TRUE(fs::is_directory(box.Path() + "nzb"));
    EXPECT_EQ(std::string(g_settings.Torrent_Folder), box.Path() + "tor//");
    ASSERT_EQ(ShowCount(), 2);
    EXPECT_STREQ(GetShow(0)->ShowName, "A");
    EXPECT_TRUE(IsSeen("rel"));
    ExitRelease();
    EXPECT_EQ(ShowCount(), 0);
}

TEST_F(LifecycleTest, GarbageFilesStillStart) {
    std::string junk;
    for (int i = 0; i < 3000; i++)
        junk += static_cast<char>((i * 2654435761u) >> 24);
    box.Write("data/main.conf", junk);
    box.Write("data/shows.conf", junk);
    box.Write("data/seen.conf", junk);
    ASSERT_EQ(Start(), -1);
    EXPECT_GE(g_settings.SecondsBetweenScans, 10);
    EXPECT_TRUE(front.Messages().empty());
    ExitRelease();
}

// A save or backup interrupted by kill -9 leaves its temporary file; the
// next start removes those, and only those.
TEST_F(LifecycleTest, StartRemovesWhatInterruptedSavesLeft) {
    box.Write("data/.shows.conf.tmp-123-4-567", "half");
    box.Write("data/.plugins.ini.tmp-9-0-1", "half");
    box.Write("data/backup/.seen.conf.tmp-77", "half");
    box.Write("data/.shows.conf.keep", "mine");
    box.Write("data/backup/shows.conf.1206202600", "whole");
    ASSERT_EQ(Start(), -1);
    EXPECT_FALSE(box.Exists("data/.shows.conf.tmp-123-4-567"));
    EXPECT_FALSE(box.Exists("data/.plugins.ini.tmp-9-0-1"));
    EXPECT_FALSE(box.Exists("data/backup/.seen.conf.tmp-77"));
    EXPECT_TRUE(box.Exists("data/.shows.conf.keep"));
    EXPECT_TRUE(box.Exists("data/backup/shows.conf.1206202600"));
    EXPECT_EQ(ExitRelease(), 0);
}

TEST_F(LifecycleTest, SecondCopyIsRefusedAndTouchesNothing) {
    fs::create_directories(Data());
    box.Write("data/main.conf", "Quill {\n AutoScan 1\n};\n");
    box.Write("data/shows.conf", "Shows {\n};\n");
    SetHostPaths(Data().c_str());
    std::string lockPath = g_paths.InstanceLock;

#ifdef _WIN32
    // A lock taken through another handle refuses this one just as another
    // process's would.
    int other = PlatformAcquireInstanceLock(lockPath.c_str());
    ASSERT_GE(other, 0);
#else
    // Another process holds the lock until told to let go.
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int fd = PlatformAcquireInstanceLock(lockPath.c_str());
        char c = fd >= 0 ? 'y' : 'n';
        if (write(ready[1], &c, 1) != 1)
            _exit(2);
        if (read(done[0], &c, 1) < 0)
            _exit(3);
        _exit(0);
    }
    char got = 0;
    ASSERT_EQ(read(ready[0], &got, 1), 1);
    ASSERT_EQ(got, 'y');
#endif

    auto before = Files();
    EXPECT_EQ(Start(), 0);
    auto messages = front.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, L"Fatal Error");
    EXPECT_EQ(messages[0].text, L"Error: Quillon is already running!");
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(g_settings.AutoScan, 0);  // main.conf was not even read

#ifdef _WIN32
    PlatformReleaseInstanceLock(other);
#else
    char c = 'x';
    ASSERT_EQ(write(done[1], &c, 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        close(fd);
#endif

    // Once the other copy is gone the lock is free again.
    front.Clear();
    EXPECT_EQ(Start(), -1);
    EXPECT_TRUE(front.Messages().empty());
    ExitRelease();
}

}  // namespace

namespace {

TEST_F(LifecycleTest, LockFileThatCannotBeOpenedIsNotAnotherCopy) {
    // A folder where the lock file belongs: it can never be opened.
    fs::create_directories(Data() + "Varnek_Quillon.lock");
    EXPECT_EQ(Start(), 1);
    ASSERT_EQ(front.Messages().size(), 1u);
    std::wstring text = front.Messages()[0].text;
    EXPECT_EQ(text.find(L"already running"), std::wstring::npos);
    std::string lock = Data() + "Varnek_Quillon.lock";
    EXPECT_NE(text.find(std::wstring(lock.begin(), lock.end())), std::wstring::npos);
#ifdef _WIN32
    EXPECT_NE(text.find(L"Permission denied"), std::wstring::npos);  // what a folder gives there
#else
    EXPECT_NE(text.find(L"Is a directory"), std::wstring::npos);
#endif
}

#ifndef _WIN32  // $TMPDIR, user ids and SIGXFSZ
TEST_F(LifecycleTest, StartRemovesEarlierRunsTemporaryFilesAndIgnoresFileSizeSignals) {
    std::string savedTemp = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", box.Path().c_str(), 1);
    std::string mine = "quillon-" + std::to_string(geteuid());
    // A process id no running process has (above the kernel's limit).
    box.Write(mine + "/99999999/quillon_dl.1.2.nzb", "left");
    chmod(box.File(mine).c_str(), 0700);
    signal(SIGXFSZ, SIG_DFL);
    ASSERT_EQ(Start(), -1);
    EXPECT_FALSE(box.Exists(mine + "/99999999"));
    EXPECT_EQ(signal(SIGXFSZ, SIG_DFL), SIG_IGN);
    char folder[1024];
    ASSERT_TRUE(PlatformPrivateTempFolder(folder, sizeof folder));
    EXPECT_EQ(ExitRelease(), 0);
    EXPECT_FALSE(fs::exists(folder));  // this run's own folder goes at exit
    setenv("TMPDIR", savedTemp.c_str(), 1);
    if (savedTemp.empty())
        unsetenv("TMPDIR");
}
#endif

}  // namespace
