#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "checkstate.h"
#include "core_fixture.h"

namespace {

class SettingsTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        snprintf(g_settings.NZB_Folder, sizeof g_settings.NZB_Folder, "%sdownloads/", box.Path().c_str());
        snprintf(g_settings.Torrent_Folder, sizeof g_settings.Torrent_Folder, "%sdownloads/",
                 box.Path().c_str());
    }
};

TEST_F(SettingsTest, PathsAndDefaults) {
    EXPECT_EQ(std::string(g_paths.DataFolder), box.Path());
    EXPECT_EQ(std::string(g_paths.MainConf), box.Path() + "main.conf");
    EXPECT_EQ(std::string(g_paths.ShowsConf), box.Path() + "shows.conf");
    EXPECT_EQ(std::string(g_paths.SeenConf), box.Path() + "seen.conf");
    EXPECT_EQ(std::string(g_paths.PluginsIni), box.Path() + "plugins.ini");
    EXPECT_EQ(std::string(g_paths.BackupFolder), box.Path() + "backup");
    EXPECT_EQ(std::string(g_paths.DataPlugins), box.Path() + Native("plugins/"));
    EXPECT_EQ(std::string(g_paths.InstanceLock), box.Path() + "Varnek_Quillon.lock");
    std::string program = g_paths.ProgramPlugins;
    EXPECT_EQ(program.substr(program.size() - 9), Native("/plugins/"));

    SetHostPaths(box.Path().substr(0, box.Path().size() - 1).c_str());  // no trailing separator
    EXPECT_EQ(std::string(g_paths.MainConf), box.Path() + "main.conf");
    SetHostPaths((box.Path() + "data/").c_str());  // '/' is a separator on every system
    EXPECT_EQ(std::string(g_paths.MainConf), box.Path() + "data/main.conf");

    SetDefaultSettings();
    EXPECT_EQ(g_settings.AutoScan, 0);
    EXPECT_EQ(g_settings.SecondsBetweenScans, 900);
    EXPECT_EQ(g_settings.minimizeToTray, 0);
    EXPECT_EQ(g_settings.confirmExit, 1);
    EXPECT_EQ(g_settings.NZB_Exec, 1);
    EXPECT_EQ(g_settings.Torrent_Exec, 1);
    EXPECT_STREQ(g_settings.NZB_Folder, "");
}

TEST_F(SettingsTest, SaveWritesTheEightEntriesInOrder) {
    g_settings.AutoScan = 1;
    g_settings.SecondsBetweenScans = 3600;
    ASSERT_TRUE(SaveSettings());
    std::string folder = box.Path() + "downloads/";
    EXPECT_EQ(box.Read("main.conf"), "Quill {\n"
                                     "\tAutoScan 1\n"
                                     "\tSecondsBetweenScans 3600\n"
                                     "\tminimizeToTray 0\n"
                                     "\tconfirmExit 1\n"
                                     "\tNZB_Exec 1\n"
                                     "\tTorrent_Exec 1\n"
                                     "\tNZB_Folder " + folder + "\n"
                                     "\tTorrent_Folder " + folder + "\n"
                                     "};\n\n");

    MainSettings saved = g_settings;
    SetDefaultSettings();
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(0, memcmp(&saved, &g_settings, sizeof saved));
}

TEST_F(SettingsTest, IntervalBeyond32BitsIsWrittenAsTheLongestInterval) {
    // Its low 32 bits (60) would turn a 136-year interval into a minute.
    g_settings.SecondsBetweenScans = (int64_t{1} << 32) + 60;
    ASSERT_TRUE(SaveSettings());
    EXPECT_NE(box.Read("main.conf").find("\tSecondsBetweenScans 2147483647\n"), std::string::npos);
}

TEST_F(SettingsTest, LoadMergesOnlyValuesOfTheRightType) {
    box.Write("main.conf", "Quill {\n"
                           "  AutoScan yes\n"
                           "  SecondsBetweenScans 5\n"
                           "  minimizeToTray 7\n"
                           "  confirmExit 0\n"
                           "  NZB_Folder 12345\n"
                           "  Unknown 1\n"
                           "};\n");
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(g_settings.AutoScan, 0);                // a word is not a flag
    EXPECT_EQ(g_settings.SecondsBetweenScans, 900);   // below 10 keeps the old value
    EXPECT_EQ(g_settings.minimizeToTray, 1);          // any non-zero number is on
    EXPECT_EQ(g_settings.confirmExit, 0);
    EXPECT_EQ(std::string(g_settings.NZB_Folder), box.Path() + "downloads/");  // a number is not a folder
    EXPECT_EQ(g_settings.NZB_Exec, 1);                // missing keys stay

    box.Write("main.conf", "Quill {\n AutoScan 7\n SecondsBetweenScans 10\n};\n");
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(g_settings.AutoScan, 1);
    EXPECT_EQ(g_settings.SecondsBetweenScans, 10);
}

TEST_F(SettingsTest, SectionAndKeysMatchInAnyCase) {
    box.Write("main.conf", "quill {\n"
                           "\tautoscan 1\n"
                           "\tSECONDSBETWEENSCANS 120\n"
                           "\tnzb_exec 0\n"
                           "\ttorrent_folder /srv/torrents/\n"
                           "};\n");
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(g_settings.AutoScan, 1);
    EXPECT_EQ(g_settings.SecondsBetweenScans, 120);
    EXPECT_EQ(g_settings.NZB_Exec, 0);
    EXPECT_STREQ(g_settings.Torrent_Folder, "/srv/torrents/");
}

TEST_F(SettingsTest, ImportBacksUpMainConfAndKeepsMissingFields) {
    box.Write("main.conf", "Quill {\n\tAutoScan 0\n};\n");
    box.Write("import.qlnconfig", "Quill {\n\tAutoScan 1\n\tTorrent_Folder /t/\n};\n");
    std::string nzb = g_settings.NZB_Folder;
    ASSERT_TRUE(LoadSettings(box.File("import.qlnconfig").c_str()));
    EXPECT_EQ(g_settings.AutoScan, 1);
    EXPECT_EQ(std::string(g_settings.NZB_Folder), nzb);
    EXPECT_STREQ(g_settings.Torrent_Folder, "/t/");
    EXPECT_EQ(box.Read("backup/main.conf.1206202600"), "Quill {\n\tAutoScan 0\n};\n");
    EXPECT_EQ(box.Read("main.conf"), "Quill {\n\tAutoScan 0\n};\n");  // written only at exit
}

TEST_F(SettingsTest, ExportWritesWithoutBackupAndSaveBacksUp) {
    box.Write("main.conf", "old");
    ASSERT_TRUE(SaveSettings(box.File("export.qlnconfig").c_str()));
    EXPECT_FALSE(box.Exists("backup/main.conf.1206202600"));
    EXPECT_EQ(box.Read("main.conf"), "old");
    ASSERT_TRUE(SaveSettings());
    EXPECT_EQ(box.Read("backup/main.conf.1206202600"), "old");
    EXPECT_EQ(box.Read("main.conf"), box.Read("export.qlnconfig"));
}

TEST_F(SettingsTest, UnreadableOrMangledFilesLeaveTheSettings) {
    MainSettings before = g_settings;
    EXPECT_FALSE(LoadSettings());  // no main.conf yet
    EXPECT_FALSE(LoadSettings(box.File("missing.qlnconfig").c_str()));
    const std::string bad[] = {
        "",
        "Quill {\n\tAutoScan",
        "Quill\n{\nAutoScan 1\n}",
        "};\nQuill {\n AutoScan 1\n};\n",
        std::string("\x00\x01\x02\xff\xfe", 5) + " Quill {{{{ }; }; };",
        "#include \"/nonexistent/file\"\nQuill {\n AutoScan 1\n};\n",
    };
    for (const std::string &text : bad) {
        box.Write("main.conf", text);
        LoadSettings();
        EXPECT_EQ(0, memcmp(&before, &g_settings, sizeof before)) << text;
    }
    std::string binary;
    for (int i = 0; i < 4096; i++)
        binary += static_cast<char>((i * 131) ^ (i >> 3));
    box.Write("main.conf", binary);
    LoadSettings();
    EXPECT_EQ(g_settings.SecondsBetweenScans >= 10, true);
}

TEST_F(SettingsTest, TruncatedFileGivesWhatWasRead) {
    box.Write("main.conf", "Quill {\n\tAutoScan 1\n\tSecondsBetweenScans 60\n\tminimizeTo");
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(g_settings.AutoScan, 1);
    EXPECT_EQ(g_settings.SecondsBetweenScans, 60);
}

TEST_F(SettingsTest, FailedSaveKeepsTheOldFile) {
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    std::string old = "Quill {\n\tAutoScan 0\n};\n";
    box.Write("main.conf", old);
    {
        FileSizeLimit limit(40);
        EXPECT_FALSE(SaveSettings());
    }
    EXPECT_EQ(box.Read("main.conf"), old);

    // The data folder is gone: nothing to write into.
    SetHostPaths((box.Path() + "gone/").c_str());
    EXPECT_FALSE(SaveSettings());
}

#ifndef _WIN32  // Windows takes %APPDATA% from the system, not from $XDG_DATA_HOME
TEST_F(SettingsTest, DataFolderFromTheEnvironmentOrTheCurrentFolder) {
    std::string xdg = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    std::string home = getenv("HOME") ? getenv("HOME") : "";
    setenv("XDG_DATA_HOME", box.File("xdg").c_str(), 1);
    EXPECT_TRUE(ComputeHostPaths());
    EXPECT_EQ(std::string(g_paths.DataFolder), box.Path() + "xdg/Quillon/");
    EXPECT_TRUE(box.Exists("xdg/Quillon"));
    EXPECT_EQ(std::string(g_paths.MainConf), box.Path() + "xdg/Quillon/main.conf");

    box.Write("file", "x");
    setenv("XDG_DATA_HOME", box.File("file/sub").c_str(), 1);
    setenv("HOME", box.File("file/sub").c_str(), 1);
    EXPECT_FALSE(ComputeHostPaths());
    EXPECT_STREQ(g_paths.DataFolder, "./");
    EXPECT_STREQ(g_paths.MainConf, "./main.conf");

    xdg.empty() ? unsetenv("XDG_DATA_HOME") : setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    home.empty() ? unsetenv("HOME") : setenv("HOME", home.c_str(), 1);
}
#endif

}  // namespace

namespace {

TEST_F(SettingsTest, ImportRefusesAnIntervalOutsideTheRangeWithAMessage) {
    g_settings.SecondsBetweenScans = 600;
    for (const char *interval : {"4294967300", "2147483648", "9"}) {
        box.Write("import.conf", std::string("Quill {\n SecondsBetweenScans ") + interval + "\n AutoScan 1\n};\n");
        ASSERT_TRUE(LoadSettings(box.File("import.conf").c_str()));
        EXPECT_EQ(g_settings.SecondsBetweenScans, 600) << interval;
        EXPECT_NE(LogTexts().back().find("SecondsBetweenScans in " + box.File("import.conf")), std::string::npos);
    }
    EXPECT_EQ(g_settings.AutoScan, 1);  // the rest of the file is still taken
}

TEST_F(SettingsTest, DueTimesNeverOverflow) {
    EXPECT_EQ(NextPassDue(1000, 900), 1900);
    EXPECT_EQ(NextPassDue(INT64_MAX - 5, kIntervalMax), INT64_MAX);
    EXPECT_EQ(NextPassDue(1'700'000'000, INT64_MAX), INT64_MAX);
    EXPECT_EQ(NextPassDue(INT64_MIN + 5, -10), INT64_MIN);
}

TEST_F(SettingsTest, ImportedFoldersArePreparedAsAtStartUp) {
    std::string nzb = box.Path() + "srv/nzb";
    std::string torrent = box.Path() + "srv/torrent/";
    std::filesystem::create_directories(box.Path() + "srv");
    box.Write("import.conf", "Quill {\n NZB_Folder " + nzb + "\n Torrent_Folder " + torrent + "\n};\n");
    ASSERT_TRUE(LoadSettings(box.File("import.conf").c_str()));
    EXPECT_EQ(std::string(g_settings.NZB_Folder), nzb + kPathSeparator);
    EXPECT_EQ(std::string(g_settings.Torrent_Folder), torrent);
    EXPECT_TRUE(std::filesystem::is_directory(torrent));
    EXPECT_TRUE(std::filesystem::is_directory(nzb));
}

}  // namespace
