// The NZBMatrix plugin's settings and its modal settings dialog: account
// name and API key, saved to section "nzbmatrix" of plugins.ini.
#pragma once

#include <QDialog>

class QLineEdit;

struct NzbMatrixSettings {
    char user[256];
    char key[256];
};

extern const char *const kNzbMatrixSection;

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

// The plugin's Configure: runs the dialog modally over `parent` (a QWidget *).
void RunNzbMatrixSettingsDialog(void *parent, NzbMatrixSettings &settings, const char *iniPath,
                                const char *pluginName);
