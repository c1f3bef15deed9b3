// Pieces shared by the plugins' Qt settings dialogs: controls placed in
// dialog units (a quarter of the dialog font's average character width, an
// eighth of its height), found by their id as objectName. The rules that do
// not depend on Qt (an edit only ever replaces a stored text setting, never
// clears it) are in dialogrules.h, shared with the Win32 dialogs.
#pragma once

#include "dialogrules.h"

#include <QDialog>
#include <QRect>
#include <QString>

#include <string>

class QLineEdit;
class QWidget;

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

// The edit's text, at most kEditCharacters characters, in the narrow
// (UTF-8) form the settings are kept in.
std::string EditText(const QLineEdit &edit);

// Tells the user that a setting could not be saved to `iniPath`.
void ReportSaveFailure(QWidget *parent, const char *iniPath);
