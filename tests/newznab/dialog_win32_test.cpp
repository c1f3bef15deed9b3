// The indexer settings dialog as a Win32 dialog under Wine: the fields and
// the masked key, what "OK" writes and Cancel leaves, the Test button, and
// Configure through the loaded plugin (a saved change lifts a refusal). The
// same cases as the Qt dialog's tests.
#include "fake_host.h"
#include "fake_indexer.h"
#include "win32_dialogs.h"

#include <config.h>
#include <sandbox.h>

#include <vorlo/ini.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

using ::testing::HasSubstr;

namespace {

std::string IniText(const std::string &path, const char *key) {
    char value[256] = "";
    IniReadString(path.c_str(), "newznab3", key, value, sizeof value, "<missing>");
    return value;
}

// Reads and closes the next message box (from inside the dialog's loop).
std::string gShown;
void AcceptMessage() {
    OnNextDialog([](HWND box) {
        gShown = MessageText(box);
        Press(box, IDOK);
    });
}

int KindIndex(HWND dialog) { return int(SendDlgItemMessageW(dialog, 1005, CB_GETCURSEL, 0, 0)); }

class Win32IndexerDialog : public ::testing::Test {
protected:
    void SetUp() override {
        box.Write("plugins.ini", "[newznab3]\r\nname=Mine\r\nurl=https://idx.example\r\napikey=k3y\r\nkind=torrent\r\n");
        ini = box.File("plugins.ini");
        settings = ReadIndexerSettings(ini.c_str(), 2);
    }
    Sandbox box;
    std::string ini;
    IndexerSettings settings;
};

TEST_F(Win32IndexerDialog, ShowsEveryKeyWithTheKeyMaskedAndOkWritesThemAll) {
    OnNextDialog([](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), "Mine Plugin Settings");
        EXPECT_EQ(ControlText(dialog, 1002), "https://idx.example");
        EXPECT_EQ(ControlText(dialog, 1003), "/api");
        EXPECT_TRUE(ControlStyle(dialog, 1004) & ES_PASSWORD);
        EXPECT_EQ(KindIndex(dialog), 1);
        EXPECT_EQ(ControlText(dialog, 1006), "5030,5040");
        EXPECT_EQ(ControlText(dialog, 1008), "1");
        EXPECT_TRUE(ControlStyle(dialog, 1010) & ES_NUMBER);
        EXPECT_EQ(Placement(dialog, 1), UnitsRect(dialog, 243, 163, 50, 14));
        EXPECT_EQ(Placement(dialog, 1002), UnitsRect(dialog, 128, 21, 165, 12));
        SetControlText(dialog, 1002, L"http://127.0.0.1:9117/api/v2.0/indexers/x/results/torznab/");
        SetControlText(dialog, 1004, L"newkey");
        SendDlgItemMessageW(dialog, 1005, CB_SETCURSEL, 0, 0);
        SetControlText(dialog, 1009, L"250");
        SetControlText(dialog, 1010, L"");  // an emptied count stores its default
        Press(dialog, IDOK);
    });
    EXPECT_TRUE(RunNewznabSettingsDialog(nullptr, ini.c_str(), "newznab3", settings, nullptr));
    EXPECT_EQ(IniText(ini, "url"), "http://127.0.0.1:9117/api/v2.0/indexers/x/results/torznab/");
    EXPECT_EQ(IniText(ini, "apikey"), "newkey");
    EXPECT_EQ(IniText(ini, "kind"), "nzb");
    EXPECT_EQ(IniText(ini, "dailyapi"), "250");
    EXPECT_EQ(IniText(ini, "dailygrabs"), "0");
    EXPECT_EQ(IniText(ini, "hdcategories"), "5040,5045");
    IndexerSettings back = ReadIndexerSettings(ini.c_str(), 2);
    EXPECT_EQ(back.url, "http://127.0.0.1:9117/api/v2.0/indexers/x/results/torznab");
    EXPECT_EQ(back.dailyapi, 250);
    EXPECT_FALSE(back.torrent);
}

TEST_F(Win32IndexerDialog, CancelWritesNothingAndTestUsesTheFieldsAsTyped) {
    IndexerSettings tested;
    OnNextDialog([](HWND dialog) {
        SetControlText(dialog, 1004, L"typed");
        SetControlText(dialog, 1003, L"");
        AcceptMessage();
        // Cancel waits behind the Test box: the dialog takes it once the box is gone.
        OnNextDialog([](HWND again) { Press(again, IDCANCEL); });
        Press(dialog, 1011);
    });
    EXPECT_FALSE(RunNewznabSettingsDialog(nullptr, ini.c_str(), "newznab3", settings,
                                          [&](const IndexerSettings &s) {
                                              tested = s;
                                              return std::string("It searches TV by season and episode.");
                                          }));
    EXPECT_EQ(tested.apikey, "typed");
    EXPECT_EQ(tested.apipath, "/api");
    EXPECT_EQ(gShown, "It searches TV by season and episode.");
    EXPECT_EQ(IniText(ini, "apikey"), "k3y");
    EXPECT_EQ(IniText(ini, "apipath"), "<missing>");
}

TEST(Win32IndexerConfigure, TestAsksForCapsAndASavedChangeLiftsARefusal) {
    Sandbox box;
    FakeIndexer server;
    box.Write("plugins.ini", "[newznab1]\r\nname=Idx\r\nurl=" + server.Address() + "\r\napikey=bad\r\n");
    FakeHost host(box.Path(), box.File("plugins.ini"));
    LoadedLibrary library = LoadPluginLibrary(QLN_NEWZNAB_PATH);
    QLN_PLUGIN *plugin = library.getPlugin(0);
    ASSERT_EQ(plugin->Init(0, host.Api()), 0);
    server.OnApi("caps", {200, ErrorXml(100, "Incorrect user credentials")});
    Show show = MakeShow("Show");
    EXPECT_FALSE(plugin->Search(&show, 1, 1));
    char status[256] = "Enabled";
    EXPECT_FALSE(plugin->GetStatus(status, sizeof status));
    EXPECT_STREQ(status, "Incorrect user credentials");

    // Test in the dialog, then OK with a new key: each step waits for the
    // message box before it to close.
    std::string first, second;
    OnNextDialog([](HWND dialog) {
        AcceptMessage();
        Press(dialog, 1011);
    });
    OnNextDialog([&](HWND dialog) {
        first = gShown;
        server.OnApi("caps", {200, CapsXml("<tv-search available=\"yes\"/>")});
        AcceptMessage();
        Press(dialog, 1011);
    });
    OnNextDialog([&](HWND dialog) {
        second = gShown;
        SetControlText(dialog, 1004, L"good");
        SetControlText(dialog, 1001, L"Renamed");
        Press(dialog, IDOK);
    });
    plugin->Configure(nullptr);
    EXPECT_THAT(first, HasSubstr("The indexer refused: Incorrect user credentials (error 100)."));
    EXPECT_THAT(second, HasSubstr("It searches TV by season and episode."));
    EXPECT_THAT(second, HasSubstr("5000 TV"));
    EXPECT_STREQ(plugin->name, "Renamed");
    std::strcpy(status, "Enabled");
    EXPECT_TRUE(plugin->GetStatus(status, sizeof status));
    server.OnApi("tvsearch", {200, ResultsXml({})});
    EXPECT_FALSE(plugin->Search(&show, 1, 1));
    EXPECT_THAT(server.Targets().back(), HasSubstr("t=tvsearch&apikey=good"));
}

}  // namespace
