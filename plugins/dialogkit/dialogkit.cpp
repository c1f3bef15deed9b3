// Shared settings-dialog helpers of the plugin libraries.
#include "dialogkit.h"

#include <QByteArray>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMessageBox>

DialogUnits::DialogUnits(const QWidget &dialog) {
    const QFontMetrics metrics(dialog.font());
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX = (alphabet / 26 + 1) / 2;
    baseY = metrics.height();
}

void PlaceControl(QWidget *control, const DialogUnits &units, int id, int x, int y, int width,
                  int height) {
    control->setGeometry(units.Rect(x, y, width, height));
    if (id != 0)
        control->setObjectName(QString::number(id));
}

void SetUpSettingsDialog(QDialog *dialog, const DialogUnits &units, int width, int height,
                         const char *pluginName) {
    dialog->setFixedSize(units.X(width), units.Y(height));
    dialog->setWindowTitle(QString::fromLocal8Bit(SettingsDialogTitle(pluginName).c_str()));
}

std::string EditText(const QLineEdit &edit) {
    return edit.text().left(kEditCharacters).toLocal8Bit().toStdString();
}

void ReportSaveFailure(QWidget *parent, const char *iniPath) {
    QMessageBox::warning(parent, QStringLiteral("Notice"),
                         QString::fromLocal8Bit(SaveFailureText(iniPath).c_str()));
}
