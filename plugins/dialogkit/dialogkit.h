// Pieces shared by the plugins' settings dialogs: controls placed in dialog
// units (a quarter of the dialog font's average character width, an eighth
// of its height), found by their id as objectName, and the rule that an
// edit only ever replaces a stored text setting, never clears it.
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>

class QLineEdit;
class QWidget;

// The address of the program's web site, ending in '/'.
extern const char *const kQuillonWebSite;

class DialogUnits {
public:
    explicit DialogUnits(const QWidget &dialog);
    int X(int units) const { return (units * baseX + 2) / 4; }
    int Y(int units) const { return (units * baseY + 4) / 8; }
    QRect Rect(int x, int y, int width, int height) const {
        return QRect(X(x), Y(y), X(width), Y(height));
    }

private:
    int baseX;
    int baseY;
};

// Places `control` at the given dialog-unit rectangle and, when id is not 0,
// gives it the id in decimal as its objectName.
void PlaceControl(QWidget *control, const DialogUnits &units, int id, int x, int y, int width,
                  int height);

// Sizes `dialog` to width x height dialog units, fixed, and titles it
// "<pluginName> Plugin Settings".
void SetUpSettingsDialog(QDialog *dialog, const DialogUnits &units, int width, int height,
                         const char *pluginName);

// Stores the edit's text (at most 1024 characters) into `setting` (a
// 256-byte buffer, at most 255 bytes kept, never half a character) and writes it to key `key` of
// `section` in the INI file at `iniPath`, but only when the edit is not
// empty: an emptied edit leaves the stored value in place. Returns false
// only when the file could not be written.
bool StoreEditSetting(const QLineEdit &edit, char *setting, const char *iniPath,
                      const char *section, const char *key);

// Tells the user that a setting could not be saved to `iniPath`.
void ReportSaveFailure(QWidget *parent, const char *iniPath);
