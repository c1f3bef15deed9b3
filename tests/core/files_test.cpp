// The data files on disk: who may read them, what is read when a data file is
// not a regular file, what a failed save tells the user, and how long
// automatic backups are kept.
#include <future>
#include <string>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include "backup.h"
#include "core_fixture.h"
#include "vorlo/ini.h"

namespace {

class FilesTest : public CoreTest {
protected:
    unsigned Mode(const std::string &name) const {
        struct stat st;
        return stat(box.File(name).c_str(), &st) == 0 ? st.st_mode & 0777 : 01000;
    }
    bool Logged(const std::string &text) const {
        for (const std::string &line : LogTexts())
            if (line == text)
                return true;
        return false;
    }
    void SetAge(const std::string &name, int64_t days) const {
        struct utimbuf times;
        times.actime = times.modtime = time(nullptr) - static_cast<time_t>(days * 86400);
        ASSERT_EQ(utime(box.File(name).c_str(), &times), 0);
    }
};

// File modes, fifos and links to devices are POSIX matters; Windows data
// files live in the user's own %APPDATA%.
#ifndef _WIN32
TEST_F(FilesTest, DataFilesAndBackupsAreReadableByTheUserOnly) {
    mode_t old = umask(022);
    box.Write("shows.conf", "Shows {\n};\n");
    chmod(box.File("shows.conf").c_str(), 0644);  // left so by an earlier version
    MarkSeen("Show.S01E01");
    EXPECT_TRUE(SaveShows() && SaveSeen() && SaveSettings());
    EXPECT_EQ(IniWriteString(g_paths.PluginsIni, "Plugins", "qln_rss", "1"), 0);
    umask(old);
    for (const char *name : {"shows.conf", "seen.conf", "main.conf", "plugins.ini", "backup/shows.conf.1206202600"})
        EXPECT_EQ(Mode(name), 0600u) << name;
}

TEST_F(FilesTest, DataFilesThatAreNoRegularFilesAreReportedAndTreatedAsMissing) {
    ASSERT_EQ(mkfifo(g_paths.ShowsConf, 0600), 0);
    ASSERT_EQ(mkfifo(g_paths.MainConf, 0600), 0);
    ASSERT_EQ(symlink("/dev/zero", g_paths.SeenConf), 0);
    ASSERT_EQ(mkfifo(g_paths.PluginsIni, 0600), 0);
    // A blocking open or an endless read shows as a load that never returns.
    auto loads = std::async(std::launch::async, [] {
        bool shows = LoadShows();
        LoadSeen();
        bool settings = LoadSettings();
        int plugin = IniReadInt(g_paths.PluginsIni, "Plugins", "qln_rss", 5);
        return shows && !settings && plugin == 5;
    });
    ASSERT_EQ(loads.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_TRUE(loads.get());
    EXPECT_EQ(ShowCount(), 0);
    EXPECT_EQ(g_settings.SecondsBetweenScans, 900);
    for (const char *path : {g_paths.ShowsConf, g_paths.SeenConf, g_paths.MainConf})
        EXPECT_TRUE(Logged(std::string(path) + " is not a regular file; it is ignored.")) << path;
}
#endif

TEST_F(FilesTest, FailedSavesNameTheFileAndTheReason) {
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    for (int i = 0; i < 40; i++)
        MarkSeen(("Some.Show.S01E" + std::to_string(i)).c_str());
    AddShow(NewShow());
    std::snprintf(GetShow(0)->ShowName, sizeof GetShow(0)->ShowName, "%s", std::string(200, 's').c_str());
    {
        FileSizeLimit limit(64);
        EXPECT_FALSE(SaveSeen());
        EXPECT_FALSE(SaveShows());
    }
    EXPECT_TRUE(Logged("Error saving " + std::string(g_paths.SeenConf) + ": File too large"));
    EXPECT_TRUE(Logged("Error saving " + std::string(g_paths.ShowsConf) + ": File too large"));
}

TEST_F(FilesTest, BackupsOlderThanThirtyDaysGoButTheNewestOfEachFileStays) {
    const std::pair<const char *, int> backups[] = {
        {"shows.conf.0101202600", 340}, {"shows.conf.0102202600", 339}, {"shows.conf.1120202600", 17},
        {"shows.conf.notes", 340},      {"seen.conf.0101202600", 340},  {"main.conf.0101202600", 340},
        {"main.conf.0102202600", 339}};
    for (const auto &backup : backups) {
        box.Write(std::string("backup/") + backup.first, "old");
        SetAge(std::string("backup/") + backup.first, backup.second);
    }
    box.Write("shows.conf", "now");
    AutoBackup(g_paths.ShowsConf);
    PruneBackups("main.conf");  // every backup old: the newest one stays
    for (const char *gone : {"shows.conf.0101202600", "shows.conf.0102202600", "main.conf.0101202600"})
        EXPECT_FALSE(box.Exists(std::string("backup/") + gone)) << gone;
    for (const char *kept : {"shows.conf.1120202600", "shows.conf.1206202600", "shows.conf.notes",
                             "seen.conf.0101202600", "main.conf.0102202600"})
        EXPECT_TRUE(box.Exists(std::string("backup/") + kept)) << kept;
}

}  // namespace
