// The Newzbin plugin's Qt settings dialog.
#include "config_qt.h"

#include <dialogkit.h>

#include <vorlo/platform.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

NewzbinSettingsDialog::NewzbinSettingsDialog(QWidget *parent, NewzbinSettings &settings,
                                             const char *iniPath, const char *pluginName)
    : QDialog(parent), settings(settings), iniPath(iniPath) {
    const DialogUnits units(*this);
    SetUpSettingsDialog(this, units, 228, 90, pluginName);

    // Created in the template's order, which is also the tab order.
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(ok, units, 1, 171, 69, 50, 14);
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceControl(cancel, units, 2, 119, 69, 50, 14);
    auto *userLabel = new QLabel(QStringLiteral("Newzbin Username:"), this);
    PlaceControl(userLabel, units, 0, 7, 8, 75, 9);
    userLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *passLabel = new QLabel(QStringLiteral("Newzbin Password:"), this);
    PlaceControl(passLabel, units, 0, 7, 21, 75, 9);
    passLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    user = new QLineEdit(QString::fromLocal8Bit(settings.user), this);
    PlaceControl(user, units, kNewzbinUserEdit, 85, 7, 136, 12);
    pass = new QLineEdit(QString::fromLocal8Bit(settings.pass), this);
    PlaceControl(pass, units, kNewzbinPassEdit, 85, 20, 136, 12);
    pass->setEchoMode(QLineEdit::Password);
    auto *group = new QGroupBox(QStringLiteral("Processing Mode"), this);
    PlaceControl(group, units, 0, 85, 33, 136, 33);
    directNzb = new QRadioButton(QStringLiteral("Use DirectNZB and Quillon"), this);
    PlaceControl(directNzb, units, kNewzbinDirectNzbButton, 89, 43, 125, 10);
    auto *browser = new QRadioButton(QStringLiteral("Download with Browser"), this);
    PlaceControl(browser, units, kNewzbinBrowserButton, 89, 54, 125, 10);
    auto *help = new QPushButton(QStringLiteral("Help"), this);
    PlaceControl(help, units, kNewzbinHelpButton, 25, 45, 50, 14);

    // Typing goes into the first field; OK, first in the tab order, would
    // otherwise take the focus.
    user->setFocus();

    // Any stored mode but 0 shows as browser mode.
    (settings.mode == kModeDirectNzb ? directNzb : browser)->setChecked(true);

    connect(ok, &QPushButton::clicked, this, [this] { Save(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [] { PlatformOpen(NewzbinHelpPage().c_str()); });
}

void NewzbinSettingsDialog::Save() {
    if (!SaveNewzbinSettings(settings, iniPath, EditText(*user), EditText(*pass), directNzb->isChecked()))
        ReportSaveFailure(this, iniPath);
    accept();
}

void RunNewzbinSettingsDialog(void *parent, NewzbinSettings &settings, const char *iniPath,
                              const char *pluginName) {
    NewzbinSettingsDialog dialog(static_cast<QWidget *>(parent), settings, iniPath, pluginName);
    dialog.exec();
}
