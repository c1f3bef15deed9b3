// The Newznab/Torznab indexer settings dialog.
#include "config.h"

#include <dialogkit.h>

#include <vorlo/ini.h>

#include <QComboBox>
#include <QGuiApplication>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

QLineEdit *AddEdit(QDialog *dialog, const DialogUnits &units, int id, int y, const char *label,
                   const std::string &value) {
    auto *caption = new QLabel(QString::fromUtf8(label), dialog);
    PlaceControl(caption, units, 0, 7, y + 1, 78, 9);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *edit = new QLineEdit(QString::fromLocal8Bit(value.c_str()), dialog);
    PlaceControl(edit, units, id, 88, y, 165, 12);
    edit->setMaxLength(255);
    return edit;
}

void NumberOnly(QLineEdit *edit) { edit->setValidator(new QIntValidator(0, 1000000000, edit)); }

std::string Text(const QLineEdit *edit) { return edit->text().trimmed().toLocal8Bit().toStdString(); }

int Number(const QLineEdit *edit, int def) {
    bool ok = false;
    int value = edit->text().trimmed().toInt(&ok);
    return ok && value >= 0 ? value : def;
}

}  // namespace

NewznabSettingsDialog::NewznabSettingsDialog(QWidget *parent, const char *iniPath, std::string section,
                                             const IndexerSettings &s, IndexerTest test)
    : QDialog(parent), iniPath(iniPath), section(std::move(section)), test(std::move(test)) {
    const DialogUnits units(*this);
    SetUpSettingsDialog(this, units, 260, 184, s.name.c_str());

    name = AddEdit(this, units, 1001, 7, "Name:", s.name);
    url = AddEdit(this, units, 1002, 21, "Address:", s.url);
    url->setPlaceholderText(QStringLiteral("https://indexer.example"));
    apipath = AddEdit(this, units, 1003, 35, "API path:", s.apipath);
    apikey = AddEdit(this, units, 1004, 49, "API key:", s.apikey);
    apikey->setEchoMode(QLineEdit::Password);
    auto *kindLabel = new QLabel(QStringLiteral("Delivers:"), this);
    PlaceControl(kindLabel, units, 0, 7, 64, 78, 9);
    kindLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    kind = new QComboBox(this);
    kind->addItem(QStringLiteral("NZB files (nzb)"), QStringLiteral("nzb"));
    kind->addItem(QStringLiteral("Torrents (torrent)"), QStringLiteral("torrent"));
    kind->setCurrentIndex(s.torrent ? 1 : 0);
    PlaceControl(kind, units, 1005, 88, 63, 165, 14);
    categories = AddEdit(this, units, 1006, 79, "Categories:", s.categories);
    hdcategories = AddEdit(this, units, 1007, 93, "HD categories:", s.hdcategories);
    minseeders = AddEdit(this, units, 1008, 107, "Fewest seeders:", std::to_string(s.minseeders));
    NumberOnly(minseeders);
    dailyapi = AddEdit(this, units, 1009, 121, "Requests a day (0 = no limit):", std::to_string(s.dailyapi));
    NumberOnly(dailyapi);
    dailygrabs = AddEdit(this, units, 1010, 135, "Downloads a day (0 = no limit):", std::to_string(s.dailygrabs));
    NumberOnly(dailygrabs);

    auto *testButton = new QPushButton(QStringLiteral("Test"), this);
    PlaceControl(testButton, units, 1011, 7, 163, 50, 14);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(ok, units, 1, 203, 163, 50, 14);
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceControl(cancel, units, 2, 151, 163, 50, 14);

    connect(testButton, &QPushButton::clicked, this, [this] { Test(); });
    connect(ok, &QPushButton::clicked, this, [this] { Save(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

IndexerSettings NewznabSettingsDialog::Fields() const {
    IndexerSettings s;
    s.name = Text(name);
    s.url = Text(url);
    while (!s.url.empty() && s.url.back() == '/')
        s.url.pop_back();
    s.apipath = Text(apipath).empty() ? "/api" : Text(apipath);
    s.apikey = Text(apikey);
    s.torrent = kind->currentIndex() == 1;
    s.categories = Text(categories).empty() ? "5030,5040" : Text(categories);
    s.hdcategories = Text(hdcategories).empty() ? "5040,5045" : Text(hdcategories);
    s.minseeders = Number(minseeders, 1);
    s.dailyapi = Number(dailyapi, 0);
    s.dailygrabs = Number(dailygrabs, 0);
    return s;
}

void NewznabSettingsDialog::Save() {
    const char *s = section.c_str();
    bool saved = true;
    auto write = [&](const char *key, const std::string &value) {
        saved = IniWriteString(iniPath, s, key, value.c_str()) == 0 && saved;
    };
    write("name", Text(name));
    write("url", Text(url));
    write("apipath", Text(apipath));
    write("apikey", Text(apikey));
    write("kind", kind->currentIndex() == 1 ? "torrent" : "nzb");
    write("categories", Text(categories));
    write("hdcategories", Text(hdcategories));
    write("minseeders", std::to_string(Number(minseeders, 1)));
    write("dailyapi", std::to_string(Number(dailyapi, 0)));
    write("dailygrabs", std::to_string(Number(dailygrabs, 0)));
    if (!saved)
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
