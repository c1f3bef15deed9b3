// The Newzbin plugin's settings and its modal settings dialog: account name,
// password and processing mode, saved to section "newzbin" of plugins.ini.
#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;

// Processing modes: 1 opens the report's NZB link in the browser; the search
// treats every other value as DirectNZB.
enum NewzbinMode { kModeDirectNzb = 0, kModeBrowser = 1 };

struct NewzbinSettings {
    char user[256];
    char pass[256];
    int mode;
};

extern const char *const kNewzbinSection;

// Template 101: the account edits (1001, 1002), the mode buttons (1003,
// 1004), Help (1005), OK (1) and Cancel (2). "OK" writes the changed
// settings to the INI file at once; Cancel and closing save nothing.
class NewzbinSettingsDialog : public QDialog {
public:
    NewzbinSettingsDialog(QWidget *parent, NewzbinSettings &settings, const char *iniPath,
                          const char *pluginName);

private:
    void Save();

    NewzbinSettings &settings;
    const char *iniPath;
    QLineEdit *user;
    QLineEdit *pass;
    QRadioButton *directNzb;
};

// The plugin's Configure: runs the dialog modally over `parent` (a QWidget *).
void RunNewzbinSettingsDialog(void *parent, NewzbinSettings &settings, const char *iniPath,
                              const char *pluginName);
