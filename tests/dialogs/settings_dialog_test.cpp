#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ConfigWindow.h"
#include "dialog_fixture.h"
#include "mainwindow.h"
#include "vorlo/ini.h"

namespace {

bool NoSearch(const Show *, int, int) { return false; }

// A plugin whose settings are incomplete; it records how it is asked.
int statusCalls = 0;
int statusSize = 0;
std::string statusPrefill;
bool Complaining(char *buffer, int size) {
    ++statusCalls;
    statusSize = size;
    statusPrefill = buffer;
    std::snprintf(buffer, static_cast<size_t>(size), "No User Set in Plugin");
    return false;
}

void *configuredWith = nullptr;
bool configured = false;
void RecordConfigure(void *parent) {
    configuredWith = parent;
    configured = true;
}
bool StatusAfterConfigure(char *buffer, int size) {
    std::snprintf(buffer, static_cast<size_t>(size), configured ? "Configured" : "Not configured");
    return configured;
}

QLN_PLUGIN MakePlugin(const char *id, const char *name) {
    QLN_PLUGIN plugin{};
    plugin.version = QLN_INTERFACE_VERSION;
    plugin.id = id;
    plugin.name = name;
    plugin.author = "Tests";
    plugin.type = "NZB";
    plugin.Search = NoSearch;
    return plugin;
}

const char kIdA[] = "{00000000-0000-0000-0000-00000000000a}";
const char kIdB[] = "{00000000-0000-0000-0000-00000000000b}";
const char kIdC[] = "{00000000-0000-0000-0000-00000000000c}";

class SettingsDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        statusCalls = 0;
        statusSize = 0;
        statusPrefill.clear();
        configuredWith = nullptr;
        configured = false;
    }

    static QTreeWidget *List(ConfigWindow &w) { return Control<QTreeWidget>(&w, 1018); }
    static QPushButton *Button(ConfigWindow &w, int id) { return Control<QPushButton>(&w, id); }

    int IniFlag(const char *id) { return IniReadInt(g_paths.PluginsIni, "plugins", id, -1); }

    // The row of a plugin name.
    static QTreeWidgetItem *Row(ConfigWindow &w, const char *name) {
        QTreeWidget *list = List(w);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (list->topLevelItem(i)->text(0) == QLatin1String(name))
                return list->topLevelItem(i);
        ADD_FAILURE() << "no row " << name;
        return nullptr;
    }

    static void ClickAt(ConfigWindow &w, const QPoint &point) {
        QTest::mouseClick(List(w)->viewport(), Qt::LeftButton, {}, point);
    }
    static void ClickRow(ConfigWindow &w, QTreeWidgetItem *row) {
        ClickAt(w, List(w)->visualItemRect(row).center());
    }
};

TEST_F(SettingsDialogTest, OpensWithTheMainSettings) {
    g_settings.AutoScan = 1;
    g_settings.SecondsBetweenScans = 1234;
    g_settings.minimizeToTray = 0;
    g_settings.confirmExit = 1;
    g_settings.NZB_Exec = 0;
    g_settings.Torrent_Exec = 1;
    std::strcpy(g_settings.NZB_Folder, "/srv/nzb/");
    std::strcpy(g_settings.Torrent_Folder, "/srv/torrent/");

    ConfigWindow w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quillon Settings"));
    EXPECT_TRUE(Control<QCheckBox>(&w, 1006)->isChecked());
    EXPECT_EQ(Control<QLineEdit>(&w, 1007)->text(), QStringLiteral("1234"));
    EXPECT_FALSE(Control<QCheckBox>(&w, 1012)->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(&w, 1009)->isChecked());
    EXPECT_TRUE(Control<QRadioButton>(&w, 1005)->isChecked());
    EXPECT_FALSE(Control<QRadioButton>(&w, 1008)->isChecked());
    EXPECT_FALSE(Control<QRadioButton>(&w, 1016)->isChecked());
    EXPECT_TRUE(Control<QRadioButton>(&w, 1017)->isChecked());
    // The desktop's wording for handing a file to its associated program.
    for (int id : {1008, 1017})
        EXPECT_EQ(Control<QRadioButton>(&w, id)->text(),
                  QStringLiteral("Open with the default application"));
    EXPECT_EQ(Control<QLineEdit>(&w, 1003)->text(), QStringLiteral("/srv/nzb/"));
    EXPECT_TRUE(Control<QLineEdit>(&w, 1003)->isReadOnly());
    EXPECT_EQ(Control<QLineEdit>(&w, 1004)->text(), QStringLiteral("/srv/torrent/"));
    EXPECT_FALSE(Button(w, 1013)->isEnabled());
    EXPECT_FALSE(Button(w, 1014)->isEnabled());
    EXPECT_EQ(Button(w, 1)->text(), QStringLiteral("Save && Close"));
    EXPECT_TRUE(Button(w, 1)->isDefault());
    QTreeWidget *list = List(w);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("Plugin"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Status"));
}

TEST_F(SettingsDialogTest, SecondsSitsOnItsFieldsLineAndTheFolderFieldsLineUp) {
    ConfigWindow w;
    QLabel *seconds = nullptr;
    for (QLabel *label : w.findChildren<QLabel *>())
        if (label->text() == QStringLiteral("seconds."))
            seconds = label;
    ASSERT_NE(seconds, nullptr);
    const QRect field = Control<QLineEdit>(&w, 1007)->geometry();
    EXPECT_EQ(seconds->geometry().center().y(), field.center().y());
    EXPECT_TRUE(seconds->alignment() & Qt::AlignVCenter);
    const QRect nzb = Control<QLineEdit>(&w, 1003)->geometry();
    const QRect torrent = Control<QLineEdit>(&w, 1004)->geometry();
    EXPECT_EQ(nzb.left(), torrent.left());
    EXPECT_EQ(nzb.right(), torrent.right());
}

TEST_F(SettingsDialogTest, MinimizeToTrayIsOfferedOnlyWhereThereIsATray) {
    g_settings.minimizeToTray = 1;
    for (int tray : {0, 1}) {
        OverrideSystemTrayAvailable(tray);
        ConfigWindow w;
        EXPECT_EQ(Control<QCheckBox>(&w, 1012)->isEnabled(), tray == 1);
        QTest::mouseClick(Control<QCheckBox>(&w, 1012), Qt::LeftButton);
        Button(w, 1)->click();
        EXPECT_EQ(g_settings.minimizeToTray, tray == 1 ? 0 : 1);  // kept while disabled
    }
    OverrideSystemTrayAvailable(-1);
}

TEST_F(SettingsDialogTest, IntervalBelowTenIsRefusedTenIsTaken) {
    g_settings.SecondsBetweenScans = 900;
    for (const char *refused : {"5", "", "9", "0"}) {
        ConfigWindow w;
        Control<QLineEdit>(&w, 1007)->setText(QString::fromLatin1(refused));
        Button(w, 1)->click();
        EXPECT_EQ(w.result(), QDialog::Accepted);
        EXPECT_EQ(g_settings.SecondsBetweenScans, 900) << refused;
    }
    ConfigWindow w;
    Control<QLineEdit>(&w, 1007)->setText(QStringLiteral("10"));
    Button(w, 1)->click();
    EXPECT_EQ(g_settings.SecondsBetweenScans, 10);
}

TEST_F(SettingsDialogTest, AnIgnoredIntervalIsExplainedAndTheEditStopsAtTheLargest) {
    g_settings.SecondsBetweenScans = 900;
    const std::pair<const char *, const wchar_t *> cases[] = {
        {"5", L"The scan interval must be at least 10 seconds. It stays at 900 seconds."},
        {"99999999999", L"The scan interval must be a number from 10 to 2147483647 seconds. "
                        L"It stays at 900 seconds."},
        {"", nullptr},
    };
    for (const auto &c : cases) {
        asked.clear();
        ConfigWindow w;
        Control<QLineEdit>(&w, 1007)->setText(QString::fromLatin1(c.first));
        Button(w, 1)->click();
        EXPECT_EQ(g_settings.SecondsBetweenScans, 900) << c.first;
        ASSERT_EQ(asked.size(), c.second ? 1u : 0u) << c.first;
        if (c.second) {
            EXPECT_EQ(asked[0].text, c.second);
        }
    }
    ConfigWindow w;
    QLineEdit *edit = Control<QLineEdit>(&w, 1007);
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("2x147483648"));
    EXPECT_EQ(edit->text(), QStringLiteral("214748364"));
}

TEST_F(SettingsDialogTest, SaveAndCloseReadsEveryControlCloseKeepsTheSettings) {
    std::strcpy(g_settings.NZB_Folder, "/old/nzb/");
    std::strcpy(g_settings.Torrent_Folder, "/old/torrent/");
    const MainSettings before = g_settings;
    auto edit = [](ConfigWindow &w) {
        Control<QCheckBox>(&w, 1006)->setChecked(true);
        Control<QCheckBox>(&w, 1012)->setChecked(true);
        Control<QCheckBox>(&w, 1009)->setChecked(false);
        Control<QRadioButton>(&w, 1005)->setChecked(true);
        Control<QRadioButton>(&w, 1016)->setChecked(true);
        Control<QLineEdit>(&w, 1007)->setText(QStringLiteral("60"));
        Control<QLineEdit>(&w, 1003)->setText(QStringLiteral("/new/nzb/"));
        Control<QLineEdit>(&w, 1004)->clear();  // an empty folder keeps the old one
    };
    {
        ConfigWindow w;
        edit(w);
        Button(w, 2)->click();
        EXPECT_EQ(w.result(), QDialog::Rejected);
        EXPECT_EQ(std::memcmp(&before, &g_settings, sizeof before), 0);
    }
    ConfigWindow w;
    edit(w);
    Button(w, 1)->click();
    EXPECT_EQ(g_settings.AutoScan, 1);
    EXPECT_EQ(g_settings.minimizeToTray, 1);
    EXPECT_EQ(g_settings.confirmExit, 0);
    EXPECT_EQ(g_settings.NZB_Exec, 0);
    EXPECT_EQ(g_settings.Torrent_Exec, 0);
    EXPECT_EQ(g_settings.SecondsBetweenScans, 60);
    EXPECT_STREQ(g_settings.NZB_Folder, "/new/nzb/");
    EXPECT_STREQ(g_settings.Torrent_Folder, "/old/torrent/");
}

TEST_F(SettingsDialogTest, RowsSortByNameAndCarryTheirSlot) {
    QLN_PLUGIN zeta = MakePlugin(kIdA, "Zeta"), alpha = MakePlugin(kIdB, "alpha"),
               beta = MakePlugin(kIdC, "Beta");
    const int zetaSlot = Register(&zeta, true);
    const int alphaSlot = Register(&alpha, false);
    const int betaSlot = Register(&beta, true);

    ConfigWindow w;
    QTreeWidget *list = List(w);
    ASSERT_EQ(list->topLevelItemCount(), 3);
    const char *names[] = {"alpha", "Beta", "Zeta"};
    const int slotOf[] = {alphaSlot, betaSlot, zetaSlot};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->topLevelItem(i)->text(0), QLatin1String(names[i]));
        EXPECT_EQ(list->topLevelItem(i)->data(0, Qt::UserRole).toInt(), slotOf[i]);
    }
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("Disabled"));
    EXPECT_EQ(list->topLevelItem(1)->text(1), QStringLiteral("Enabled"));
    // Opening writes every plugin's state.
    EXPECT_EQ(IniFlag(kIdA), 1);
    EXPECT_EQ(IniFlag(kIdB), 0);
    EXPECT_EQ(IniFlag(kIdC), 1);
}

TEST_F(SettingsDialogTest, ToggleThenCloseKeepsTheToggleOnDisk) {
    QLN_PLUGIN plugin = MakePlugin(kIdA, "Newsgroup Index");
    const int slot = Register(&plugin, true);
    {
        ConfigWindow w;
        w.show();
        QTreeWidgetItem *row = Row(w, "Newsgroup Index");
        ClickRow(w, row);
        EXPECT_TRUE(row->isSelected());
        EXPECT_EQ(Button(w, 1013)->text(), QStringLiteral("Enabled"));
        Button(w, 1013)->click();
        EXPECT_EQ(g_pluginSlots[slot].enabled, 0);
        EXPECT_EQ(Button(w, 1013)->text(), QStringLiteral("Disabled"));
        EXPECT_EQ(row->text(1), QStringLiteral("Disabled"));
        EXPECT_EQ(IniFlag(kIdA), 0);
        Button(w, 2)->click();
    }
    EXPECT_EQ(g_pluginSlots[slot].enabled, 0);
    EXPECT_EQ(IniFlag(kIdA), 0);
    EXPECT_NE(sandbox.Read("plugins.ini").find(std::string(kIdA) + "=0"), std::string::npos);

    ConfigWindow again;
    again.show();
    ClickRow(again, Row(again, "Newsgroup Index"));
    Button(again, 1013)->click();
    EXPECT_EQ(g_pluginSlots[slot].enabled, 1);
    EXPECT_EQ(IniFlag(kIdA), 1);
}

TEST_F(SettingsDialogTest, StatusComplaintOnlyWhileEnabledNeverAskedWhileDisabled) {
    QLN_PLUGIN plugin = MakePlugin(kIdA, "Account Index");
    plugin.GetStatus = Complaining;
    Register(&plugin, true);

    ConfigWindow w;
    w.show();
    QTreeWidgetItem *row = Row(w, "Account Index");
    EXPECT_EQ(row->text(1), QStringLiteral("No User Set in Plugin"));
    EXPECT_EQ(statusCalls, 1);
    EXPECT_EQ(statusSize, 256);
    EXPECT_EQ(statusPrefill, "Enabled");

    ClickRow(w, row);  // refreshes the row: asked again
    EXPECT_EQ(statusCalls, 2);
    Button(w, 1013)->click();
    EXPECT_EQ(row->text(1), QStringLiteral("Disabled"));
    EXPECT_EQ(statusCalls, 2);
    ClickRow(w, row);
    EXPECT_EQ(statusCalls, 2);

    ConfigWindow disabled;
    EXPECT_EQ(Row(disabled, "Account Index")->text(1), QStringLiteral("Disabled"));
    EXPECT_EQ(statusCalls, 2);
}

TEST_F(SettingsDialogTest, ClickOnEmptySpaceDisablesBothButtons) {
    QLN_PLUGIN plugin = MakePlugin(kIdA, "Only");
    Register(&plugin, true);
    ConfigWindow w;
    w.show();
    QTreeWidget *list = List(w);
    ClickRow(w, list->topLevelItem(0));
    EXPECT_TRUE(Button(w, 1013)->isEnabled());
    EXPECT_TRUE(Button(w, 1014)->isEnabled());

    const QPoint below(list->viewport()->width() / 2, list->viewport()->height() - 2);
    ASSERT_EQ(list->itemAt(below), nullptr);
    ClickAt(w, below);
    EXPECT_FALSE(Button(w, 1013)->isEnabled());
    EXPECT_FALSE(Button(w, 1014)->isEnabled());
}

TEST_F(SettingsDialogTest, ConfigureCallsThePluginOrSaysThereIsNone) {
    QLN_PLUGIN bare = MakePlugin(kIdA, "Bare");
    QLN_PLUGIN configurable = MakePlugin(kIdB, "Configurable");
    configurable.Configure = RecordConfigure;
    configurable.GetStatus = StatusAfterConfigure;
    Register(&bare, true);
    Register(&configurable, true);

    ConfigWindow w;
    w.show();
    // Without a selected row the buttons do nothing.
    w.ConfigureSelectedPlugin();
    w.ToggleSelectedPlugin();
    EXPECT_TRUE(asked.empty());

    ClickRow(w, Row(w, "Bare"));
    Button(w, 1014)->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, L"Information");
    EXPECT_EQ(asked[0].text, L"This plugin has no configuration.");
    EXPECT_EQ(asked[0].icon, MessageIcon::Information);

    QTreeWidgetItem *row = Row(w, "Configurable");
    EXPECT_EQ(row->text(1), QStringLiteral("Not configured"));
    const QPoint center = List(w)->visualItemRect(row).center();
    // A double click as the system delivers it: press, release, double click, release.
    QTest::mouseClick(List(w)->viewport(), Qt::LeftButton, {}, center);
    QTest::mouseDClick(List(w)->viewport(), Qt::LeftButton, {}, center);
    QTest::mouseRelease(List(w)->viewport(), Qt::LeftButton, {}, center);
    EXPECT_TRUE(configured);
    EXPECT_EQ(configuredWith, static_cast<void *>(static_cast<QWidget *>(&w)));
    EXPECT_EQ(row->text(1), QStringLiteral("Configured"));  // refreshed afterwards
    EXPECT_EQ(asked.size(), 1u);
}

TEST_F(SettingsDialogTest, FolderPickersAddOneSeparator) {
    std::vector<QString> titles;
    QString answer;
    ConfigWindow::SetFolderPicker([&](const QString &title) {
        titles.push_back(title);
        return answer;
    });
    std::strcpy(g_settings.NZB_Folder, "/old/");
    std::strcpy(g_settings.Torrent_Folder, "/old/");
    ConfigWindow w;
    answer = QStringLiteral("/");
    Button(w, 1010)->click();
    EXPECT_EQ(Control<QLineEdit>(&w, 1003)->text(), QStringLiteral("/"));
    answer = QStringLiteral("/home/user/torrents");
    Button(w, 1015)->click();
    EXPECT_EQ(Control<QLineEdit>(&w, 1004)->text(), QStringLiteral("/home/user/torrents/"));
    answer.clear();  // cancelled
    Button(w, 1015)->click();
    EXPECT_EQ(Control<QLineEdit>(&w, 1004)->text(), QStringLiteral("/home/user/torrents/"));
    answer = QStringLiteral("/") + QString(1100, QLatin1Char('x'));  // longer than a path field
    Button(w, 1010)->click();
    EXPECT_EQ(Control<QLineEdit>(&w, 1003)->text(), QStringLiteral("/"));
    ConfigWindow::SetFolderPicker({});

    ASSERT_EQ(titles.size(), 4u);
    EXPECT_EQ(titles[0], QStringLiteral("Select a folder to download NZBs to..."));
    EXPECT_EQ(titles[1], QStringLiteral("Select a folder to download torrents to..."));

    Button(w, 1)->click();
    EXPECT_STREQ(g_settings.NZB_Folder, "/");
    EXPECT_STREQ(g_settings.Torrent_Folder, "/home/user/torrents/");
}

TEST_F(SettingsDialogTest, HelpOpensTheSettingsPage) {
    // A stand-in for xdg-open, first on PATH, records what it was asked to open.
    const std::string record = sandbox.File("opened");
    sandbox.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > '" + record + ".tmp' && mv '" +
                                      record + ".tmp' '" + record + "'\n");
    ASSERT_EQ(::chmod(sandbox.File("bin/xdg-open").c_str(), 0755), 0);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (sandbox.File("bin") + ":" + oldPath).c_str(), 1);

    ConfigWindow w;
    Button(w, 1011)->click();
    ::setenv("PATH", oldPath.c_str(), 1);
    // The stand-in runs detached: its record is awaited, with a bound far
    // beyond any start-up time so that a broken start fails instead of hanging.
    for (int i = 0; i < 6000 && !sandbox.Exists("opened"); ++i)
        QTest::qWait(20);
    ASSERT_TRUE(sandbox.Exists("opened"));
    const std::string url = sandbox.Read("opened");
    EXPECT_EQ(url.rfind("index.php?load=Settings"), url.size() - std::strlen("index.php?load=Settings"));
    EXPECT_EQ(url.compare(0, 4, "http"), 0);
    EXPECT_EQ(url.find("//index.php"), std::string::npos);
}

}  // namespace
