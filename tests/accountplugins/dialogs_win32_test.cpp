// The two plugins' Win32 settings dialogs under Wine: the template controls
// by id and place, what "OK" stores, what Cancel and closing leave, and
// Configure reaching the dialog through the loaded plugin. The same
// expectations as the Qt dialogs' tests (dialog_expectations.h).
#include "account_host.h"
#include "dialog_expectations.h"
#include "win32_dialogs.h"

#include <config.h>
#include <sandbox.h>

#include <vorlo/ini.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// Both config units are linked in; their headers share a name, so the
// NZBMatrix one is reached by path.
#include "../../plugins/qln_nzbmatrix/config.h"

namespace {

std::string IniText(const std::string &path, const char *section, const char *key) {
    char value[256] = "";
    IniReadString(path.c_str(), section, key, value, sizeof value, "");
    return value;
}

std::wstring Wide(const std::string &utf8) {
    int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), int(utf8.size()), &out[0], length);
    return out;
}

NewzbinSettings StoredNewzbin(int mode) {
    NewzbinSettings settings{};
    std::strcpy(settings.user, "alice");
    std::strcpy(settings.pass, "s3cret");
    settings.mode = mode;
    return settings;
}

NzbMatrixSettings StoredNzbMatrix() {
    NzbMatrixSettings settings{};
    std::strcpy(settings.user, "bob");
    std::strcpy(settings.key, "k3y");
    return settings;
}

class Win32SettingsDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        box.Write("plugins.ini", kDialogsIni);
        ini = box.File("plugins.ini");
    }
    Sandbox box;
    std::string ini;
};

TEST_F(Win32SettingsDialogs, NewzbinDialogShowsTheTemplateControls) {
    NewzbinSettings settings = StoredNewzbin(0);
    bool seen = false;
    OnNextDialog([&](HWND dialog) {
        seen = true;
        EXPECT_EQ(WindowText(dialog), "Newzbin Plugin Settings");
        RECT client{}, size{0, 0, 228, 90};
        GetClientRect(dialog, &client);
        MapDialogRect(dialog, &size);
        EXPECT_TRUE(EqualRect(&client, &size));
        for (const TemplateControl &c : kNewzbinControls) {
            EXPECT_EQ(Placement(dialog, c.id), UnitsRect(dialog, c.x, c.y, c.width, c.height)) << c.id;
            if (*c.text) {
                EXPECT_EQ(ControlText(dialog, c.id), c.text) << c.id;
            }
        }
        EXPECT_EQ(ControlStyle(dialog, IDOK) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        EXPECT_EQ(ControlText(dialog, 1001), "alice");
        EXPECT_EQ(ControlText(dialog, 1002), "s3cret");
        EXPECT_TRUE(ControlStyle(dialog, 1002) & ES_PASSWORD);
        EXPECT_FALSE(ControlStyle(dialog, 1001) & ES_PASSWORD);
        EXPECT_TRUE(IsChecked(dialog, 1003));
        EXPECT_FALSE(IsChecked(dialog, 1004));
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 1001));
        Press(dialog, IDCANCEL);
    });
    RunNewzbinSettingsDialog(nullptr, settings, ini.c_str(), "Newzbin");
    EXPECT_TRUE(seen);
}

TEST_F(Win32SettingsDialogs, NewzbinOkKeepsAnEmptiedPasswordAndStoresModeTwoAsBrowser) {
    NewzbinSettings settings = StoredNewzbin(2);
    OnNextDialog([](HWND dialog) {
        EXPECT_TRUE(IsChecked(dialog, 1004));
        EXPECT_FALSE(IsChecked(dialog, 1003));
        SetControlText(dialog, 1001, L"carol");
        SetControlText(dialog, 1002, L"");
        Press(dialog, IDOK);
    });
    RunNewzbinSettingsDialog(nullptr, settings, ini.c_str(), "Newzbin");
    EXPECT_STREQ(settings.user, "carol");
    EXPECT_STREQ(settings.pass, "s3cret");
    EXPECT_EQ(settings.mode, 1);
    EXPECT_EQ(IniText(ini, "newzbin", "user"), "carol");
    EXPECT_EQ(IniText(ini, "newzbin", "pass"), "s3cret");
    EXPECT_EQ(IniReadInt(ini.c_str(), "newzbin", "mode", -1), 1);
}

TEST_F(Win32SettingsDialogs, NewzbinDirectNzbChoiceStoresZeroAndLongTextsAreCutToWholeCharacters) {
    NewzbinSettings settings = StoredNewzbin(1);
    OnNextDialog([](HWND dialog) {
        CheckRadioButton(dialog, 1003, 1004, 1003);
        SetControlText(dialog, 1001, Wide(AccentedUtf8()));
        SetControlText(dialog, 1002, Wide(FacesUtf8()));
        Press(dialog, IDOK);
    });
    RunNewzbinSettingsDialog(nullptr, settings, ini.c_str(), "Newzbin");
    EXPECT_EQ(settings.mode, 0);
    EXPECT_EQ(IniReadInt(ini.c_str(), "newzbin", "mode", -1), 0);
    EXPECT_EQ(IniText(ini, "newzbin", "user"), AccentedKept());
    EXPECT_EQ(std::string(settings.user), AccentedKept());
    EXPECT_EQ(std::string(settings.pass), FacesKept());
}

TEST_F(Win32SettingsDialogs, CancelAndClosingSaveNothing) {
    const std::string before = box.Read("plugins.ini");
    NewzbinSettings settings = StoredNewzbin(0);
    OnNextDialog([](HWND dialog) {
        SetControlText(dialog, 1001, L"mallory");
        CheckRadioButton(dialog, 1003, 1004, 1004);
        Press(dialog, IDCANCEL);
    });
    RunNewzbinSettingsDialog(nullptr, settings, ini.c_str(), "Newzbin");
    NzbMatrixSettings matrix = StoredNzbMatrix();
    OnNextDialog([](HWND dialog) {
        SetControlText(dialog, 1002, L"other");
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
    RunNzbMatrixSettingsDialog(nullptr, matrix, ini.c_str(), "NZBMatrix");
    EXPECT_STREQ(settings.user, "alice");
    EXPECT_EQ(settings.mode, 0);
    EXPECT_STREQ(matrix.key, "k3y");
    EXPECT_EQ(box.Read("plugins.ini"), before);
}

TEST_F(Win32SettingsDialogs, NzbMatrixKeyIsShownInClearAndAnEmptiedEditKeepsIt) {
    NzbMatrixSettings settings = StoredNzbMatrix();
    OnNextDialog([](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), "NZBMatrix Plugin Settings");
        for (const TemplateControl &c : kNzbMatrixControls)
            EXPECT_EQ(Placement(dialog, c.id), UnitsRect(dialog, c.x, c.y, c.width, c.height)) << c.id;
        EXPECT_EQ(GetDlgItem(dialog, 1005), nullptr);
        EXPECT_FALSE(ControlStyle(dialog, 1002) & ES_PASSWORD);
        EXPECT_EQ(ControlText(dialog, 1002), "k3y");
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 1001));
        SetControlText(dialog, 1002, L"");
        SetControlText(dialog, 1001, L"robert");
        Press(dialog, IDOK);
    });
    RunNzbMatrixSettingsDialog(nullptr, settings, ini.c_str(), "NZBMatrix");
    EXPECT_STREQ(settings.user, "robert");
    EXPECT_STREQ(settings.key, "k3y");
    EXPECT_EQ(IniText(ini, "nzbmatrix", "user"), "robert");
    EXPECT_EQ(IniText(ini, "nzbmatrix", "key"), "k3y");
}

// Configure runs the dialog modally over the window it is given.
void ConfigureAndCancel(const char *libraryPath, const std::string &ini, const std::string &folder,
                        const std::string &title) {
    AccountHost host(folder, ini);
    QLN_PLUGIN *plugin = LoadPluginLibrary(libraryPath).getPlugin(0);
    ASSERT_EQ(plugin->Init(0, host.Api()), 0);
    HWND parent = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    std::string seenTitle;
    HWND seenOwner = nullptr;
    OnNextDialog([&](HWND dialog) {
        seenTitle = WindowText(dialog);
        seenOwner = GetWindow(dialog, GW_OWNER);
        Press(dialog, IDCANCEL);
    });
    plugin->Configure(parent);
    DestroyWindow(parent);
    EXPECT_EQ(seenTitle, title);
    EXPECT_EQ(seenOwner, parent);
}

TEST_F(Win32SettingsDialogs, ConfigureOpensEachPluginsDialogOverTheParent) {
    ConfigureAndCancel(QLN_NEWZBIN_PATH, ini, box.Path(), "Newzbin Plugin Settings");
    ConfigureAndCancel(QLN_NZBMATRIX_PATH, ini, box.Path(), "NZBMatrix Plugin Settings");
}

}  // namespace
