// The Newzbin plugin's settings and its modal settings dialog: account name,
// password and processing mode, saved to section "newzbin" of plugins.ini.
// Free of any window system: the dialog is Qt's (config_qt.h) on Linux and
// Win32's on Windows, both behind RunNewzbinSettingsDialog.
#pragma once

#include <string>

// Processing modes: 1 opens the report's NZB link in the browser; the search
// treats every other value as DirectNZB.
enum NewzbinMode { kModeDirectNzb = 0, kModeBrowser = 1 };

struct NewzbinSettings {
    char user[256];
    char pass[256];
    int mode;
};

extern const char *const kNewzbinSection;

// Control ids of template 101.
enum NewzbinControl {
    kNewzbinUserEdit = 1001,
    kNewzbinPassEdit = 1002,
    kNewzbinDirectNzbButton = 1003,
    kNewzbinBrowserButton = 1004,
    kNewzbinHelpButton = 1005,
};

// What "OK" does with the dialog's fields: each non-empty edit text (UTF-8)
// replaces its setting and is written at once; an emptied edit keeps the
// stored value. The mode becomes DirectNZB when that button is checked, else
// browser, and is written too. False when anything could not be written.
bool SaveNewzbinSettings(NewzbinSettings &settings, const char *iniPath, const std::string &user,
                         const std::string &pass, bool directNzb);

// The address "Help" opens.
std::string NewzbinHelpPage();

// The plugin's Configure: runs the dialog modally over `parent` (a QWidget *
// on Linux, an HWND on Windows). "OK" saves as above; Cancel and closing save
// nothing.
void RunNewzbinSettingsDialog(void *parent, NewzbinSettings &settings, const char *iniPath,
                              const char *pluginName);
