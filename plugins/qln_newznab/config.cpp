// The Newznab/Torznab indexer Qt settings dialog.
#include "config_qt.h"

#include <dialogkit.h>

#include <QComboBox>
#include <QGuiApplication>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

using L = IndexerDialogLayout;

QLineEdit *AddEdit(QDialog *dialog, const DialogUnits &units, int id, int y, const char *label,
                   const std::string &value) {
    auto *caption = new QLabel(QString::fromUtf8(label), dialog);
    PlaceControl(caption, units, 0, L::kLabelX, y + 1, L::kLabelWidth, 9);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *edit = new QLineEdit(QString::fromLocal8Bit(value.c_str()), dialog);
    PlaceControl(edit, units, id, L::kEditX, y, L::kEditWidth, 12);
    edit->setMaxLength(255);
    return edit;
}

void NumberOnly(QLineEdit *edit) { edit->setValidator(new QIntValidator(0, 1000000000, edit)); }

std::string Text(const QLineEdit *edit) { return edit->text().toLocal8Bit().toStdString(); }

}  // namespace

NewznabSettingsDialog::NewznabSettingsDialog(QWidget *parent, const char *iniPath, std::string section,
                                             const IndexerSettings &s, IndexerTest test)
    : QDialog(parent), iniPath(iniPath), section(std::move(section)), test(std::move(test)) {
    const DialogUnits units(*this);
    SetUpSettingsDialog(this, units, L::kWidth, L::kHeight, s.name.c_str());
    const IndexerFields f = FieldsOf(s);

    name = AddEdit(this, units, kIndexerName, 7, "Name:", f.name);
    url = AddEdit(this, units, kIndexerUrl, 21, "Address:", f.url);
    url->setPlaceholderText(QStringLiteral("https://indexer.example"));
    apipath = AddEdit(this, units, kIndexerApiPath, 35, "API path:", f.apipath);
    apikey = AddEdit(this, units, kIndexerApiKey, 49, "API key:", f.apikey);
    apikey->setEchoMode(QLineEdit::Password);
    auto *kindLabel = new QLabel(QStringLiteral("Delivers:"), this);
    PlaceControl(kindLabel, units, 0, L::kLabelX, 64, L::kLabelWidth, 9);
    kindLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    kind = new QComboBox(this);
    kind->addItem(QStringLiteral("NZB files (nzb)"), QStringLiteral("nzb"));
    kind->addItem(QStringLiteral("Torrents (torrent)"), QStringLiteral("torrent"));
    kind->setCurrentIndex(f.torrent ? 1 : 0);
    PlaceControl(kind, units, kIndexerKind, L::kEditX, 63, L::kEditWidth, 14);
    categories = AddEdit(this, units, kIndexerCategories, 79, "Categories:", f.categories);
    hdcategories = AddEdit(this, units, kIndexerHdCategories, 93, "HD categories:", f.hdcategories);
    minseeders = AddEdit(this, units, kIndexerMinSeeders, 107, "Fewest seeders:", f.minseeders);
    NumberOnly(minseeders);
    dailyapi = AddEdit(this, units, kIndexerDailyApi, 121, "Requests a day (0 = no limit):", f.dailyapi);
    NumberOnly(dailyapi);
    dailygrabs = AddEdit(this, units, kIndexerDailyGrabs, 135, "Downloads a day (0 = no limit):", f.dailygrabs);
    NumberOnly(dailygrabs);

    auto *testButton = new QPushButton(QStringLiteral("Test"), this);
    PlaceControl(testButton, units, kIndexerTestButton, 7, 163, 50, 14);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(ok, units, 1, L::kOkX, 163, 50, 14);
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceControl(cancel, units, 2, L::kCancelX, 163, 50, 14);

    connect(testButton, &QPushButton::clicked, this, [this] { Test(); });
    connect(ok, &QPushButton::clicked, this, [this] { Save(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

IndexerFields NewznabSettingsDialog::Texts() const {
    IndexerFields f;
    f.name = Text(name);
    f.url = Text(url);
    f.apipath = Text(apipath);
    f.apikey = Text(apikey);
    f.torrent = kind->currentIndex() == 1;
    f.categories = Text(categories);
    f.hdcategories = Text(hdcategories);
    f.minseeders = Text(minseeders);
    f.dailyapi = Text(dailyapi);
    f.dailygrabs = Text(dailygrabs);
    return f;
}

IndexerSettings NewznabSettingsDialog::Fields() const { return SettingsOf(Texts()); }

void NewznabSettingsDialog::Save() {
    if (!SaveIndexerFields(iniPath, section, Texts()))
        ReportSaveFailure(this, iniPath);
    accept();
}

void NewznabSettingsDialog::Test() {
    if (!test)
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    std::string answer = test(Fields());
    QGuiApplication::restoreOverrideCursor();
    QMessageBox::information(this, QStringLiteral("Test"), QString::fromLocal8Bit(answer.c_str()));
}

bool RunNewznabSettingsDialog(void *parent, const char *iniPath, const std::string &section,
                              const IndexerSettings &settings, IndexerTest test) {
    NewznabSettingsDialog dialog(static_cast<QWidget *>(parent), iniPath, section, settings, std::move(test));
    return dialog.exec() == QDialog::Accepted;
}
