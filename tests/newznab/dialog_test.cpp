// The indexer settings dialog on the offscreen platform: the fields and the
// masked key, what "OK" writes and Cancel leaves, the Test button, and
// Configure through the loaded plugin (a saved change lifts a refusal).
#include "fake_host.h"
#include "fake_indexer.h"

#include <config_qt.h>
#include <sandbox.h>

#include <vorlo/ini.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <memory>

using ::testing::HasSubstr;

namespace {

template <typename T> T *Control(QWidget &dialog, int id) {
    T *control = dialog.findChild<T *>(QString::number(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
}

std::string IniText(const std::string &path, const char *key) {
    char value[256] = "";
    IniReadString(path.c_str(), "newznab3", key, value, sizeof value, "<missing>");
    return value;
}

// Runs `act` on the next modal window once it is shown (message box or dialog).
void OnNextModal(std::function<void(QWidget &)> act) {
    QTimer::singleShot(0, [act] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal)
            act(*modal);
        else
            OnNextModal(act);
    });
}

std::string gShown;
void AcceptMessage() {
    OnNextModal([](QWidget &box) {
        if (auto *message = qobject_cast<QMessageBox *>(&box)) {
            gShown = message->text().toStdString();
            message->accept();
        }
    });
}

class IndexerDialog : public ::testing::Test {
protected:
    void SetUp() override {
        box.Write("plugins.ini", "[newznab3]\r\nname=Mine\r\nurl=https://idx.example\r\napikey=k3y\r\nkind=torrent\r\n");
        ini = box.File("plugins.ini");
        settings = ReadIndexerSettings(ini.c_str(), 2);
    }
    Sandbox box;
    std::string ini;
    IndexerSettings settings;
};

TEST_F(IndexerDialog, ShowsEveryKeyWithTheKeyMaskedAndOkWritesThemAll) {
    NewznabSettingsDialog dialog(nullptr, ini.c_str(), "newznab3", settings, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Mine Plugin Settings");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1002)->text(), "https://idx.example");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1003)->text(), "/api");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1004)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Control<QComboBox>(dialog, 1005)->currentIndex(), 1);
    EXPECT_EQ(Control<QLineEdit>(dialog, 1006)->text(), "5030,5040");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1008)->text(), "1");
    Control<QLineEdit>(dialog, 1002)->setText("http://127.0.0.1:9117/api/v2.0/indexers/x/results/torznab/");
    Control<QLineEdit>(dialog, 1004)->setText("newkey");
    Control<QComboBox>(dialog, 1005)->setCurrentIndex(0);
    Control<QLineEdit>(dialog, 1009)->setText("250");
    Control<QLineEdit>(dialog, 1010)->setText("x");  // refused by the field: stays as it was
    Control<QPushButton>(dialog, 1)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(IniText(ini, "url"), "http://127.0.0.1:9117/api/v2.0/indexers/x/results/torznab/");
    EXPECT_EQ(IniText(ini, "apikey"), "newkey");
    EXPECT_EQ(IniText(ini, "kind"), "nzb");
    EXPECT_EQ(IniText(ini, "dailyapi"), "250");
    EXPECT_EQ(IniText(ini, "dailygrabs"), "0");
    EXPECT_EQ(IniText(ini, "hdcategories"), "5040,5045");
    IndexerSettings back = ReadIndexerSettings(ini.c_str(), 2);
    EXPECT_EQ(back.url, "http://127.0.0.1:9117/api/v2.0/indexers/x/results/torznab");
    EXPECT_EQ(back.dailyapi, 250);
    EXPECT_FALSE(back.torrent);
}

TEST_F(IndexerDialog, CancelWritesNothingAndTestUsesTheFieldsAsTyped) {
    IndexerSettings tested;
    NewznabSettingsDialog dialog(nullptr, ini.c_str(), "newznab3", settings,
                                 [&](const IndexerSettings &s) {
                                     tested = s;
                                     return std::string("It searches TV by season and episode.");
                                 });
    Control<QLineEdit>(dialog, 1004)->setText("typed");
    Control<QLineEdit>(dialog, 1003)->setText("");
    AcceptMessage();
    Control<QPushButton>(dialog, 1011)->click();
    EXPECT_EQ(tested.apikey, "typed");
    EXPECT_EQ(tested.apipath, "/api");
    EXPECT_EQ(gShown, "It searches TV by season and episode.");
    Control<QPushButton>(dialog, 2)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(IniText(ini, "apikey"), "k3y");
    EXPECT_EQ(IniText(ini, "apipath"), "<missing>");
}

TEST(IndexerConfigure, TestAsksForCapsAndASavedChangeLiftsARefusal) {
    Sandbox box;
    FakeIndexer server;
    box.Write("plugins.ini", "[newznab1]\r\nname=Idx\r\nurl=" + server.Address() + "\r\napikey=bad\r\n");
    FakeHost host(box.Path(), box.File("plugins.ini"));
    LoadedLibrary library = LoadPluginLibrary(QLN_NEWZNAB_PATH);
    QLN_PLUGIN *plugin = library.getPlugin(0);
    ASSERT_EQ(plugin->Init(0, host.Api()), 0);
    server.OnApi("caps", {200, ErrorXml(100, "Incorrect user credentials")});
    Show show = MakeShow("Show");
    EXPECT_FALSE(plugin->Search(&show, 1, 1));
    char status[256] = "Enabled";
    EXPECT_FALSE(plugin->GetStatus(status, sizeof status));
    EXPECT_STREQ(status, "Incorrect user credentials");

    // Test in the dialog, then OK with a new key.
    OnNextModal([&server](QWidget &dialog) {
        AcceptMessage();
        Control<QPushButton>(dialog, 1011)->click();
        EXPECT_THAT(gShown, HasSubstr("The indexer refused: Incorrect user credentials (error 100)."));
        server.OnApi("caps", {200, CapsXml("<tv-search available=\"yes\"/>")});
        AcceptMessage();
        Control<QPushButton>(dialog, 1011)->click();
        EXPECT_THAT(gShown, HasSubstr("It searches TV by season and episode."));
        EXPECT_THAT(gShown, HasSubstr("5000 TV"));
        Control<QLineEdit>(dialog, 1004)->setText("good");
        Control<QLineEdit>(dialog, 1001)->setText("Renamed");
        Control<QPushButton>(dialog, 1)->click();
    });
    plugin->Configure(nullptr);
    EXPECT_STREQ(plugin->name, "Renamed");
    std::strcpy(status, "Enabled");
    EXPECT_TRUE(plugin->GetStatus(status, sizeof status));
    server.OnApi("tvsearch", {200, ResultsXml({})});
    EXPECT_FALSE(plugin->Search(&show, 1, 1));
    EXPECT_THAT(server.Targets().back(), HasSubstr("t=tvsearch&apikey=good"));
}

} // namespace
