// The NZBMatrix plugin's Qt settings dialog.
#include "config_qt.h"

#include <dialogkit.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

NzbMatrixSettingsDialog::NzbMatrixSettingsDialog(QWidget *parent, NzbMatrixSettings &settings,
                                                 const char *iniPath, const char *pluginName)
    : QDialog(parent), settings(settings), iniPath(iniPath) {
    const DialogUnits units(*this);
    SetUpSettingsDialog(this, units, 228, 55, pluginName);

    // Created in the template's order, which is also the tab order.
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(ok, units, 1, 171, 34, 50, 14);
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceControl(cancel, units, 2, 119, 34, 50, 14);
    auto *userLabel = new QLabel(QStringLiteral("NZBMatrix Username:"), this);
    PlaceControl(userLabel, units, 0, 7, 8, 75, 9);
    userLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *keyLabel = new QLabel(QStringLiteral("NZBMatrix API Key:"), this);
    PlaceControl(keyLabel, units, 0, 7, 21, 75, 9);
    keyLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    user = new QLineEdit(QString::fromLocal8Bit(settings.user), this);
    PlaceControl(user, units, kNzbMatrixUserEdit, 85, 7, 136, 12);
    key = new QLineEdit(QString::fromLocal8Bit(settings.key), this);
    PlaceControl(key, units, kNzbMatrixKeyEdit, 85, 20, 136, 12);

    // Typing goes into the first field; OK, first in the tab order, would
    // otherwise take the focus.
    user->setFocus();

    connect(ok, &QPushButton::clicked, this, [this] { Save(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void NzbMatrixSettingsDialog::Save() {
    if (!SaveNzbMatrixSettings(settings, iniPath, EditText(*user), EditText(*key)))
        ReportSaveFailure(this, iniPath);
    accept();
}

void RunNzbMatrixSettingsDialog(void *parent, NzbMatrixSettings &settings, const char *iniPath,
                                const char *pluginName) {
    NzbMatrixSettingsDialog dialog(static_cast<QWidget *>(parent), settings, iniPath, pluginName);
    dialog.exec();
}
