#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "log.h"
#include "quillon/plugin.h"
#include "sandbox.h"
#include "seenform.h"
#include "settingsform.h"
#include "showform.h"
#include "vorlo/platform.h"

namespace {

class DialogFormsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetHostPaths(sandbox.Path().c_str());
        SetDefaultSettings();
        ClearShows();
    }
    void TearDown() override { ClearShows(); }
    Sandbox sandbox;
};

TEST_F(DialogFormsTest, IntervalIsTakenOnlyInItsRangeAndARefusalSaysWhy) {
    MainSettings settings = g_settings;
    settings.SecondsBetweenScans = 900;
    SettingsForm form = SettingsFormFrom(settings);
    EXPECT_EQ(form.interval, "900");
    const std::wstring range =
        L"The scan interval must be a number from 10 to 2147483647 seconds. It stays at 900 seconds.";
    const std::pair<const char *, std::wstring> refused[] = {
        {"9", L"The scan interval must be at least 10 seconds. It stays at 900 seconds."},
        {"2147483648", range},
        {"99999999999999999999999", range},
        {"12a", range},
        {"", L""},
    };
    for (const auto &c : refused) {
        form.interval = c.first;
        EXPECT_EQ(ApplySettingsForm(form, settings), c.second) << c.first;
        EXPECT_EQ(settings.SecondsBetweenScans, 900) << c.first;
    }
    for (const char *taken : {"10", "0010", "2147483647"}) {
        form.interval = taken;
        EXPECT_EQ(ApplySettingsForm(form, settings), L"") << taken;
        EXPECT_EQ(settings.SecondsBetweenScans, std::stoll(taken));
    }
}

TEST_F(DialogFormsTest, ChosenFolderEndsInOneSeparatorAndMustFit) {
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(ChosenFolder(""), "");
    EXPECT_EQ(ChosenFolder(sep), sep);
    EXPECT_EQ(ChosenFolder("folder" + sep + "sub"), "folder" + sep + "sub" + sep);
    EXPECT_EQ(ChosenFolder("x/"), "x/");
    EXPECT_EQ(ChosenFolder(std::string(1022, 'x')), std::string(1022, 'x') + sep);
    EXPECT_EQ(ChosenFolder(std::string(1023, 'x')), "");  // no room for the terminator
    EXPECT_EQ(SettingsHelpUrl("https://example.org"), "https://example.org/index.php?load=Settings");
    EXPECT_EQ(SettingsHelpUrl("https://example.org/"), "https://example.org/index.php?load=Settings");
}

TEST_F(DialogFormsTest, NumbersAndTextCutsOfTheShowFields) {
    EXPECT_EQ(PositiveNumber("7"), 7);
    EXPECT_EQ(PositiveNumber("000000000012"), 12);
    EXPECT_EQ(PositiveNumber("2147483647"), 2147483647);
    for (const char *none : {"", "0", "-3", "2147483648", "12345678901", "4x"})
        EXPECT_EQ(PositiveNumber(none), 0) << none;
    const std::string e = "\xc3\xa9";  // two bytes
    EXPECT_EQ(CutToBytes("ab" + e, 3), "ab");
    EXPECT_EQ(CutToBytes("ab" + e, 4), "ab" + e);
    EXPECT_EQ(CutToBytes("\xe2\x82\xac" + std::string("x"), 2), "");

    Show *show = GetShow(AddNewShow());
    ASSERT_NE(show, nullptr);
    ShowFields fields = ShowFieldsOf(*show);
    fields.name = std::string(254, 'n') + e;  // the name field holds 255 bytes
    fields.keywords = "";
    bool renamed = false;
    ASSERT_TRUE(SaveShowFields(0, fields, &renamed));
    EXPECT_TRUE(renamed);
    EXPECT_EQ(std::string(show->ShowName), std::string(254, 'n'));
    EXPECT_FALSE(SaveShowFields(5, fields, &renamed));
    EXPECT_FALSE(renamed);
}

TEST_F(DialogFormsTest, TimeBeyondTheCalendarHasNoText) {
    EXPECT_EQ(SeenTimeText(INT64_MAX), "");
    EXPECT_NE(SeenTimeText(315626635).find("1980"), std::string::npos);
}

TEST_F(DialogFormsTest, PluginFlagIsStoredOrItsFailureIsLogged) {
    QLN_PLUGIN plugin = {};
    plugin.id = "demo";
    PluginSlot slot = {&plugin, {}, 1};
    EXPECT_EQ(RefreshPluginSlot(slot), "Enabled");
    EXPECT_NE(sandbox.Read("plugins.ini").find("demo=1"), std::string::npos);

    // plugins.ini cannot be replaced when a folder has its name.
    sandbox.Write("blocked/plugins.ini/x", "");
    SetHostPaths((sandbox.Path() + "blocked/").c_str());
    ClearLogEntries();
    TogglePluginSlot(slot);
    EXPECT_EQ(RefreshPluginSlot(slot), "Disabled");
    std::vector<std::wstring> log = LogEntries(LogTarget::Log);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(L"Error saving "), std::wstring::npos);
    EXPECT_NE(log[0].find(L"plugins.ini: "), std::wstring::npos);
    ClearLogEntries();
}

}  // namespace
