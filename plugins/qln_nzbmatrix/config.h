// The NZBMatrix plugin's settings and its modal settings dialog: account
// name and API key, saved to section "nzbmatrix" of plugins.ini. Free of any
// window system: the dialog is Qt's (config_qt.h) on Linux and Win32's on
// Windows, both behind RunNzbMatrixSettingsDialog.
#pragma once

#include <string>

struct NzbMatrixSettings {
    char user[256];
    char key[256];
};

extern const char *const kNzbMatrixSection;

// Control ids of template 101.
enum NzbMatrixControl { kNzbMatrixUserEdit = 1001, kNzbMatrixKeyEdit = 1002 };

// What "OK" does with the dialog's fields: each non-empty edit text (UTF-8)
// replaces its setting and is written at once; an emptied edit keeps the
// stored value. False when anything could not be written.
bool SaveNzbMatrixSettings(NzbMatrixSettings &settings, const char *iniPath, const std::string &user,
                           const std::string &key);

// The plugin's Configure: runs the dialog modally over `parent` (a QWidget *
// on Linux, an HWND on Windows). "OK" saves as above; Cancel and closing save
// nothing.
void RunNzbMatrixSettingsDialog(void *parent, NzbMatrixSettings &settings, const char *iniPath,
                                const char *pluginName);
