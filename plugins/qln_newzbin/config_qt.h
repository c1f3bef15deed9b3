// The Newzbin plugin's Qt settings dialog (Linux).
#pragma once

#include "config.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;

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
