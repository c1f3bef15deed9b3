#include <cstdio>
#include <cstring>
#include <string>

#include "dialog_driver.h"
#include "dialogtesting.h"
#include "settings.h"
#include "vorlo/ini.h"
#include "win32dialogs.h"

namespace {

bool NoSearch(const Show *, int, int) { return false; }

int statusCalls = 0;
bool Complaining(char *buffer, int size) {
    ++statusCalls;
    std::snprintf(buffer, static_cast<size_t>(size), "No User Set in Plugin");
    return false;
}

void *configuredWith = nullptr;
void RecordConfigure(void *parent) { configuredWith = parent; }
bool StatusAfterConfigure(char *buffer, int size) {
    std::snprintf(buffer, static_cast<size_t>(size), configuredWith ? "Configured" : "Not configured");
    return configuredWith != nullptr;
}

QLN_PLUGIN MakePlugin(const char *id, const char *name) {
    QLN_PLUGIN plugin{};
    plugin.version = QLN_INTERFACE_VERSION;
    plugin.id = id;
    plugin.name = name;
    plugin.author = "Tests";
    plugin.type = "NZB";
    plugin.Search = NoSearch;
    return plugin;
}

const char kIdA[] = "{00000000-0000-0000-0000-00000000000a}";
const char kIdB[] = "{00000000-0000-0000-0000-00000000000b}";
const char kIdC[] = "{00000000-0000-0000-0000-00000000000c}";

class Win32SettingsTest : public Win32DialogTest {
protected:
    void SetUp() override {
        Win32DialogTest::SetUp();
        statusCalls = 0;
        configuredWith = nullptr;
    }
    bool Run(const std::function<void(HWND)> &steps) {
        return Drive([] { return RunSettingsDialog(nullptr); }, steps);
    }
    static HWND List(HWND dialog) { return GetDlgItem(dialog, 1018); }
    static int IniFlag(const char *id) { return IniReadInt(g_paths.PluginsIni, "plugins", id, -1); }
};

TEST_F(Win32SettingsTest, OpensWithTheMainSettingsAndTheTemplatesTexts) {
    g_settings.AutoScan = 1;
    g_settings.SecondsBetweenScans = 1234;
    g_settings.minimizeToTray = 0;
    g_settings.NZB_Exec = 0;
    g_settings.Torrent_Exec = 1;
    std::strcpy(g_settings.NZB_Folder, "C:\\nzb\\");
    std::strcpy(g_settings.Torrent_Folder, "C:\\Torrents \xc3\xa9t\xc3\xa9\\");
    const bool saved = Run([](HWND d) {
        EXPECT_EQ(Text(d), L"Quillon Settings");
        EXPECT_TRUE(IsChecked(d, 1006));
        EXPECT_EQ(Text(d, 1007), L"1234");
        EXPECT_FALSE(IsChecked(d, 1012));
        EXPECT_TRUE(IsChecked(d, 1009));
        EXPECT_TRUE(IsChecked(d, 1005));
        EXPECT_FALSE(IsChecked(d, 1008));
        EXPECT_FALSE(IsChecked(d, 1016));
        EXPECT_TRUE(IsChecked(d, 1017));
        EXPECT_EQ(Text(d, 1003), L"C:\\nzb\\");
        EXPECT_EQ(Text(d, 1004), L"C:\\Torrents \u00e9t\u00e9\\");
        EXPECT_TRUE(GetWindowLongW(GetDlgItem(d, 1003), GWL_STYLE) & ES_READONLY);
        EXPECT_EQ(Text(d, 1008), L"Execute (same as double clicking in Windows)");
        EXPECT_EQ(Text(d, 1), L"Save && Close");
        EXPECT_TRUE(GetWindowLongW(GetDlgItem(d, 1), GWL_STYLE) & BS_DEFPUSHBUTTON);
        EXPECT_FALSE(IsEnabled(d, 1013));
        EXPECT_FALSE(IsEnabled(d, 1014));
        PostPress(d, 2);
    });
    EXPECT_FALSE(saved);
}

TEST_F(Win32SettingsTest, SaveAndCloseReadsEveryControlCloseKeepsTheSettings) {
    std::strcpy(g_settings.NZB_Folder, "C:\\old\\");
    std::strcpy(g_settings.Torrent_Folder, "C:\\old\\");
    const MainSettings before = g_settings;
    auto edit = [](HWND d) {
        SetChecked(d, 1006, true);
        SetChecked(d, 1012, true);
        SetChecked(d, 1009, false);
        SetChecked(d, 1008, false);
        SetChecked(d, 1005, true);
        SetChecked(d, 1017, false);
        SetChecked(d, 1016, true);
        SetText(d, 1007, L"60");
        SetText(d, 1003, L"D:\\neu\\\u00fc\\");
        SetText(d, 1004, L"");  // an empty folder keeps the old one
    };
    EXPECT_FALSE(Run([&](HWND d) { edit(d); PostPress(d, 2); }));
    EXPECT_EQ(std::memcmp(&before, &g_settings, sizeof before), 0);

    EXPECT_TRUE(Run([&](HWND d) { edit(d); PostPress(d, 1); }));
    EXPECT_EQ(g_settings.AutoScan, 1);
    EXPECT_EQ(g_settings.minimizeToTray, 1);
    EXPECT_EQ(g_settings.confirmExit, 0);
    EXPECT_EQ(g_settings.NZB_Exec, 0);
    EXPECT_EQ(g_settings.Torrent_Exec, 0);
    EXPECT_EQ(g_settings.SecondsBetweenScans, 60);
    EXPECT_STREQ(g_settings.NZB_Folder, "D:\\neu\\\xc3\xbc\\");
    EXPECT_STREQ(g_settings.Torrent_Folder, "C:\\old\\");
    EXPECT_TRUE(frontEnd.Messages().empty());
}

TEST_F(Win32SettingsTest, IntervalBelowTenIsKeptAndExplainedTenIsTaken) {
    g_settings.SecondsBetweenScans = 900;
    EXPECT_TRUE(Run([](HWND d) { SetText(d, 1007, L"5"); PostPress(d, 1); }));
    EXPECT_EQ(g_settings.SecondsBetweenScans, 900);
    ASSERT_EQ(frontEnd.Messages().size(), 1u);
    EXPECT_EQ(frontEnd.Messages()[0].title, L"Notice");
    Run([](HWND d) {
        EXPECT_EQ(SendDlgItemMessageW(d, 1007, EM_GETLIMITTEXT, 0, 0), 10);
        SetText(d, 1007, L"10");
        PostPress(d, 1);
    });
    EXPECT_EQ(g_settings.SecondsBetweenScans, 10);
}

TEST_F(Win32SettingsTest, PluginRowsSortByNameToggleIsSavedAtOnce) {
    QLN_PLUGIN zeta = MakePlugin(kIdA, "Zeta"), alpha = MakePlugin(kIdB, "alpha"),
               beta = MakePlugin(kIdC, "Beta");
    const int zetaSlot = Register(&zeta, true);
    const int alphaSlot = Register(&alpha, false);
    Register(&beta, true);
    Run([&](HWND d) {
        HWND list = List(d);
        EXPECT_EQ(Rows(list), (std::vector<std::wstring>{L"alpha", L"Beta", L"Zeta"}));
        EXPECT_EQ(RowText(list, 0, 1), L"Disabled");
        EXPECT_EQ(RowText(list, 1, 1), L"Enabled");
        ClickRow(d, 1018, 2);
        EXPECT_TRUE(IsEnabled(d, 1013));
        EXPECT_TRUE(IsEnabled(d, 1014));
        EXPECT_EQ(Text(d, 1013), L"Enabled");
        Press(d, 1013);
        EXPECT_EQ(Text(d, 1013), L"Disabled");
        EXPECT_EQ(RowText(list, 2, 1), L"Disabled");
        EXPECT_EQ(IniFlag(kIdA), 0);
        ClickRow(d, 1018, -1);  // empty space below the rows
        EXPECT_FALSE(IsEnabled(d, 1013));
        EXPECT_FALSE(IsEnabled(d, 1014));
        PostPress(d, 2);
    });
    EXPECT_EQ(g_pluginSlots[zetaSlot].enabled, 0);
    EXPECT_EQ(g_pluginSlots[alphaSlot].enabled, 0);
    EXPECT_EQ(IniFlag(kIdA), 0);
    EXPECT_EQ(IniFlag(kIdB), 0);
    EXPECT_EQ(IniFlag(kIdC), 1);
}

TEST_F(Win32SettingsTest, ConfigureGetsTheDialogAndComplaintsShowWhileEnabled) {
    QLN_PLUGIN bare = MakePlugin(kIdA, "Bare");
    QLN_PLUGIN account = MakePlugin(kIdB, "Account");
    account.GetStatus = Complaining;
    QLN_PLUGIN configurable = MakePlugin(kIdC, "Configurable");
    configurable.Configure = RecordConfigure;
    configurable.GetStatus = StatusAfterConfigure;
    Register(&bare, true);
    Register(&account, true);
    Register(&configurable, true);
    HWND shown = nullptr;
    Run([&](HWND d) {
        shown = d;
        HWND list = List(d);
        Press(d, 1014);  // no selection: nothing
        Press(d, 1013);
        EXPECT_TRUE(frontEnd.Messages().empty());
        EXPECT_EQ(RowText(list, 0, 1), L"No User Set in Plugin");
        ClickRow(d, 1018, 0);
        Press(d, 1013);
        EXPECT_EQ(RowText(list, 0, 1), L"Disabled");
        const int calls = statusCalls;
        ClickRow(d, 1018, 0);
        EXPECT_EQ(statusCalls, calls);  // not asked while disabled

        ClickRow(d, 1018, 1);
        Press(d, 1014);
        ASSERT_EQ(frontEnd.Messages().size(), 1u);
        EXPECT_EQ(frontEnd.Messages()[0].title, L"Information");
        EXPECT_EQ(frontEnd.Messages()[0].text, L"This plugin has no configuration.");

        EXPECT_EQ(RowText(list, 2, 1), L"Not configured");
        ClickRow(d, 1018, 2, true);
        EXPECT_EQ(RowText(list, 2, 1), L"Configured");
        PostPress(d, 2);
    });
    EXPECT_EQ(configuredWith, static_cast<void *>(shown));
}

TEST_F(Win32SettingsTest, FolderPickersOpenAtTheFolderSetAndAddOneBackslash) {
    std::vector<std::wstring> titles, starts;
    std::wstring answer;
    std::snprintf(g_settings.NZB_Folder, sizeof g_settings.NZB_Folder, "C:\\NZB\\");
    SetFolderBrowser([&](const std::wstring &title, const std::wstring &start) {
        titles.push_back(title);
        starts.push_back(start);
        return answer;
    });
    Run([&](HWND d) {
        answer = L"E:\\";
        Press(d, 1010);
        EXPECT_EQ(Text(d, 1003), L"E:\\");
        answer = L"C:\\Users\\\u00d6\\Torrents";
        Press(d, 1015);
        EXPECT_EQ(Text(d, 1004), L"C:\\Users\\\u00d6\\Torrents\\");
        answer.clear();  // cancelled
        Press(d, 1015);
        EXPECT_EQ(Text(d, 1004), L"C:\\Users\\\u00d6\\Torrents\\");
        PostPress(d, 1);
    });
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles[0], L"Select a folder to download NZBs to...");
    EXPECT_EQ(titles[1], L"Select a folder to download torrents to...");
    // Each picker starts where its edit points: the stored folder, then the
    // one chosen before.
    EXPECT_EQ(starts[0], L"C:\\NZB\\");
    EXPECT_EQ(starts[2], L"C:\\Users\\\u00d6\\Torrents\\");
    EXPECT_STREQ(g_settings.NZB_Folder, "E:\\");
    EXPECT_STREQ(g_settings.Torrent_Folder, "C:\\Users\\\xc3\x96\\Torrents\\");
}

}  // namespace
