// Shared settings-dialog helpers of the plugin libraries.
#include "dialogkit.h"

#include <vorlo/ini.h>

#include <QByteArray>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMessageBox>

#include <algorithm>
#include <cstring>

const char *const kQuillonWebSite = "https://quillon.varnek.com/";

namespace {
constexpr int kSettingBytes = 256;
constexpr int kEditCharacters = 1024;
} // namespace

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
    dialog->setWindowTitle(QString::fromLocal8Bit(pluginName) + QStringLiteral(" Plugin Settings"));
}

bool StoreEditSetting(const QLineEdit &edit, char *setting, const char *iniPath,
                      const char *section, const char *key) {
    const QString text = edit.text().left(kEditCharacters);
    if (text.isEmpty())
        return true;
    const QByteArray narrow = text.toLocal8Bit();
    size_t length = std::min<size_t>(size_t(narrow.size()), kSettingBytes - 1);
    // Cut before a character the limit would split (UTF-8 continuation bytes
    // are 10xxxxxx): half a character would go into the file and the login.
    if (length < size_t(narrow.size()))
        while (length > 0 && (static_cast<unsigned char>(narrow[qsizetype(length)]) & 0xC0) == 0x80)
            --length;
    std::memcpy(setting, narrow.constData(), length);
    setting[length] = '\0';
    return IniWriteString(iniPath, section, key, setting) == 0;
}

void ReportSaveFailure(QWidget *parent, const char *iniPath) {
    QMessageBox::warning(parent, QStringLiteral("Notice"),
                         QStringLiteral("The settings could not be saved to %1.")
                             .arg(QString::fromLocal8Bit(iniPath)));
}
