// The NZBMatrix plugin's Qt settings dialog (Linux).
#pragma once

#include "config.h"

#include <QDialog>

class QLineEdit;

// Template 101: the account name (1001) and API key (1002) edits, OK (1) and
// Cancel (2). "OK" writes the changed settings to the INI file at once;
// Cancel and closing save nothing.
class NzbMatrixSettingsDialog : public QDialog {
public:
    NzbMatrixSettingsDialog(QWidget *parent, NzbMatrixSettings &settings, const char *iniPath,
                            const char *pluginName);

private:
    void Save();

    NzbMatrixSettings &settings;
    const char *iniPath;
    QLineEdit *user;
    QLineEdit *key;
};
