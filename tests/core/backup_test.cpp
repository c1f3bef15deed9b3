#include <string>

#include "backup.h"
#include "core_fixture.h"

namespace {

class BackupTest : public CoreTest {};

TEST_F(BackupTest, ThreeSavesOnOneDayGetCountedNamesAndCreateTheFolderOnce) {
    ASSERT_FALSE(box.Exists("backup"));
    for (int i = 0; i < 3; i++) {
        box.Write("shows.conf", "version " + std::to_string(i));
        AutoBackup(g_paths.ShowsConf);
    }
    EXPECT_EQ(box.Read("backup/shows.conf.1206202600"), "version 0");
    EXPECT_EQ(box.Read("backup/shows.conf.1206202601"), "version 1");
    EXPECT_EQ(box.Read("backup/shows.conf.1206202602"), "version 2");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{
                              "Creating backup folder...",
                              "Created auto-backup file shows.conf.1206202600 (9 bytes)",
                              "Created auto-backup file shows.conf.1206202601 (9 bytes)",
                              "Created auto-backup file shows.conf.1206202602 (9 bytes)",
                          }));

    // Another day starts at 00 again; nothing of the day before goes.
    FakeNow() = Utc(2027, 1, 9);
    AutoBackup(g_paths.ShowsConf);
    EXPECT_EQ(box.Read("backup/shows.conf.0109202700"), "version 2");
    EXPECT_TRUE(box.Exists("backup/shows.conf.1206202600"));
}

TEST_F(BackupTest, CounterGrowsToThreeDigitsAfter99) {
    box.Write("main.conf", "x");
    for (int i = 0; i < 100; i++) {
        char name[64];
        snprintf(name, sizeof name, "backup/main.conf.12062026%02d", i);
        box.Write(name, "old");
    }
    AutoBackup(g_paths.MainConf);
    EXPECT_EQ(box.Read("backup/main.conf.12062026100"), "x");
    EXPECT_EQ(box.Read("backup/main.conf.1206202699"), "old");
}

TEST_F(BackupTest, MissingSourceMakesNoFileButTheFolder) {
    AutoBackup(g_paths.MainConf);
    EXPECT_TRUE(box.Exists("backup"));
    EXPECT_FALSE(box.Exists("backup/main.conf.1206202600"));
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Creating backup folder..."}));
}

TEST_F(BackupTest, EmptySourceGivesEmptyBackup) {
    box.Write("seen.conf", "");
    AutoBackup(g_paths.SeenConf);
    EXPECT_TRUE(box.Exists("backup/seen.conf.1206202600"));
    EXPECT_EQ(box.Read("backup/seen.conf.1206202600"), "");
    EXPECT_EQ(LogTexts().back(), "Created auto-backup file seen.conf.1206202600 (0 bytes)");
}

TEST_F(BackupTest, LargeSourceIsCopiedWhole) {
    std::string big;
    for (int i = 0; i < 100000; i++)
        big += static_cast<char>(i * 7);
    box.Write("shows.conf", big);
    AutoBackup(g_paths.ShowsConf);
    EXPECT_EQ(box.Read("backup/shows.conf.1206202600"), big);
    EXPECT_EQ(LogTexts().back(), "Created auto-backup file shows.conf.1206202600 (100000 bytes)");
}

TEST_F(BackupTest, UnwritableBackupIsReportedAndTheSaveStillHappens) {
    // A plain file where the backup folder should be.
    box.Write("backup", "not a folder");
    box.Write("shows.conf", "old");
    Show *show = NewShow();
    snprintf(show->ShowName, sizeof show->ShowName, "Lost");
    AddShow(show);
    EXPECT_TRUE(SaveShows());
    auto texts = LogTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "Error opening " + box.Path() + Native("backup/shows.conf.1206202600") + " for output");
    EXPECT_NE(box.Read("shows.conf").find("ShowName Lost"), std::string::npos);
}

// A copy that cannot be completed (a full disk) leaves no backup file that
// looks whole: nothing but the Log line.
TEST_F(BackupTest, IncompleteCopyLeavesNoBackup) {
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    box.Write("shows.conf", std::string(100000, 's'));
    box.Write("backup/keep", "");
    {
        FileSizeLimit limit(4096);
        AutoBackup(g_paths.ShowsConf);
    }
    EXPECT_EQ(LogTexts().back(), "Error writing " + box.Path() + Native("backup/shows.conf.1206202600!"));
    EXPECT_FALSE(box.Exists("backup/shows.conf.1206202600"));
    EXPECT_FALSE(box.Exists("backup/" + TempBackupName("shows.conf")));
    AutoBackup(g_paths.ShowsConf);
    EXPECT_EQ(box.Read("backup/shows.conf.1206202600"), std::string(100000, 's'));
}

}  // namespace
