// The two plugins' settings dialogs on the offscreen platform: controls by
// id, what "OK" stores, what Cancel leaves, Help, and Configure reaching the
// dialog through the loaded plugin.
#include "account_host.h"
#include "dialog_expectations.h"

#include <config_qt.h>
#include <dialogkit.h>
#include <sandbox.h>

#include <vorlo/ini.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstring>
#include <string>

// Both config units are linked in; their headers share a name, so the
// NZBMatrix one is reached by path.
#include "../../plugins/qln_nzbmatrix/config_qt.h"

namespace {

template <typename T> T *Control(QWidget &dialog, int id) {
    T *control = dialog.findChild<T *>(QString::number(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
}

std::string IniText(const std::string &path, const char *section, const char *key) {
    char value[256] = "";
    IniReadString(path.c_str(), section, key, value, sizeof value, "");
    return value;
}

NewzbinSettings StoredNewzbin(int mode) {
    NewzbinSettings settings{};
    std::strcpy(settings.user, "alice");
    std::strcpy(settings.pass, "s3cret");
    settings.mode = mode;
    return settings;
}

class SettingsDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        box.Write("plugins.ini", kDialogsIni);
        ini = box.File("plugins.ini");
    }
    Sandbox box;
    std::string ini;
};

TEST_F(SettingsDialogs, NewzbinDialogShowsTheTemplateControls) {
    NewzbinSettings settings = StoredNewzbin(0);
    NewzbinSettingsDialog dialog(nullptr, settings, ini.c_str(), "Newzbin");
    EXPECT_EQ(dialog.windowTitle(), "Newzbin Plugin Settings");
    const DialogUnits units(dialog);
    EXPECT_EQ(dialog.size(), QSize(units.X(228), units.Y(90)));
    EXPECT_EQ(Control<QPushButton>(dialog, 1)->text(), "OK");
    EXPECT_TRUE(Control<QPushButton>(dialog, 1)->isDefault());
    EXPECT_EQ(Control<QPushButton>(dialog, 1)->geometry(), units.Rect(171, 69, 50, 14));
    EXPECT_EQ(Control<QPushButton>(dialog, 2)->text(), "Cancel");
    EXPECT_EQ(Control<QPushButton>(dialog, 1005)->text(), "Help");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1001)->text(), "alice");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1001)->geometry(), units.Rect(85, 7, 136, 12));
    EXPECT_EQ(Control<QLineEdit>(dialog, 1002)->text(), "s3cret");
    EXPECT_EQ(Control<QLineEdit>(dialog, 1002)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Control<QRadioButton>(dialog, 1003)->text(), "Use DirectNZB and Quillon");
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1003)->isChecked());
    EXPECT_EQ(Control<QRadioButton>(dialog, 1004)->text(), "Download with Browser");
    for (const TemplateControl &c : kNewzbinControls) {
        EXPECT_EQ(Control<QWidget>(dialog, c.id)->geometry(), units.Rect(c.x, c.y, c.width, c.height)) << c.id;
        if (auto *button = dialog.findChild<QAbstractButton *>(QString::number(c.id))) {
            EXPECT_EQ(button->text().toStdString(), c.text) << c.id;
        }
    }
}

TEST_F(SettingsDialogs, NewzbinOkKeepsAnEmptiedPasswordAndStoresModeTwoAsBrowser) {
    NewzbinSettings settings = StoredNewzbin(2);
    NewzbinSettingsDialog dialog(nullptr, settings, ini.c_str(), "Newzbin");
    EXPECT_TRUE(Control<QRadioButton>(dialog, 1004)->isChecked());
    EXPECT_FALSE(Control<QRadioButton>(dialog, 1003)->isChecked());
    Control<QLineEdit>(dialog, 1001)->setText("carol");
    Control<QLineEdit>(dialog, 1002)->clear();
    Control<QPushButton>(dialog, 1)->click();

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_STREQ(settings.user, "carol");
    EXPECT_STREQ(settings.pass, "s3cret");
    EXPECT_EQ(settings.mode, 1);
    EXPECT_EQ(IniText(ini, "newzbin", "user"), "carol");
    EXPECT_EQ(IniText(ini, "newzbin", "pass"), "s3cret");
    EXPECT_EQ(IniReadInt(ini.c_str(), "newzbin", "mode", -1), 1);
}

TEST_F(SettingsDialogs, NewzbinDirectNzbChoiceStoresZeroAndLongTextsAreCut) {
    NewzbinSettings settings = StoredNewzbin(1);
    NewzbinSettingsDialog dialog(nullptr, settings, ini.c_str(), "Newzbin");
    Control<QRadioButton>(dialog, 1003)->setChecked(true);
    Control<QLineEdit>(dialog, 1002)->setText(QString(300, QChar('p')));
    Control<QPushButton>(dialog, 1)->click();
    EXPECT_EQ(settings.mode, 0);
    EXPECT_EQ(IniReadInt(ini.c_str(), "newzbin", "mode", -1), 0);
    EXPECT_EQ(std::string(settings.pass), std::string(255, 'p'));
    EXPECT_EQ(IniText(ini, "newzbin", "pass"), std::string(255, 'p'));
}

TEST_F(SettingsDialogs, CancelSavesNothing) {
    const std::string before = box.Read("plugins.ini");
    NewzbinSettings settings = StoredNewzbin(0);
    NewzbinSettingsDialog dialog(nullptr, settings, ini.c_str(), "Newzbin");
    Control<QLineEdit>(dialog, 1001)->setText("mallory");
    Control<QRadioButton>(dialog, 1004)->setChecked(true);
    Control<QPushButton>(dialog, 2)->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_STREQ(settings.user, "alice");
    EXPECT_EQ(settings.mode, 0);
    EXPECT_EQ(box.Read("plugins.ini"), before);
}

TEST_F(SettingsDialogs, NewzbinHelpOpensTheHelpPageAndStaysOpen) {
    OpenRecorder opener(box);
    NewzbinSettings settings = StoredNewzbin(0);
    NewzbinSettingsDialog dialog(nullptr, settings, ini.c_str(), "Newzbin");
    dialog.show();
    Control<QPushButton>(dialog, 1005)->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(opener.WaitForTargets(1),
              std::vector<std::string>{std::string(kQuillonWebSite) + "index.php?load=Settings:Newzbin"});
}

TEST_F(SettingsDialogs, NzbMatrixKeyIsShownInClearAndAnEmptiedEditKeepsIt) {
    NzbMatrixSettings settings{};
    std::strcpy(settings.user, "bob");
    std::strcpy(settings.key, "k3y");
    NzbMatrixSettingsDialog dialog(nullptr, settings, ini.c_str(), "NZBMatrix");
    EXPECT_EQ(dialog.windowTitle(), "NZBMatrix Plugin Settings");
    const DialogUnits units(dialog);
    EXPECT_EQ(dialog.size(), QSize(units.X(228), units.Y(55)));
    EXPECT_EQ(Control<QPushButton>(dialog, 1)->geometry(), units.Rect(171, 34, 50, 14));
    for (const TemplateControl &c : kNzbMatrixControls)
        EXPECT_EQ(Control<QWidget>(dialog, c.id)->geometry(), units.Rect(c.x, c.y, c.width, c.height)) << c.id;
    EXPECT_EQ(dialog.findChild<QWidget *>("1005"), nullptr);
    QLineEdit *key = Control<QLineEdit>(dialog, 1002);
    EXPECT_EQ(key->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(key->text(), "k3y");
    key->clear();
    Control<QLineEdit>(dialog, 1001)->setText("robert");
    Control<QPushButton>(dialog, 1)->click();
    EXPECT_STREQ(settings.user, "robert");
    EXPECT_STREQ(settings.key, "k3y");
    EXPECT_EQ(IniText(ini, "nzbmatrix", "user"), "robert");
    EXPECT_EQ(IniText(ini, "nzbmatrix", "key"), "k3y");
}

TEST_F(SettingsDialogs, FocusStartsInTheFirstFieldAndTheCutKeepsWholeCharacters) {
    NzbMatrixSettings matrix{};
    NzbMatrixSettingsDialog second(nullptr, matrix, ini.c_str(), "NZBMatrix");
    second.show();
    QApplication::processEvents();
    EXPECT_EQ(second.focusWidget(), Control<QLineEdit>(second, 1001));

    // 127 two-byte letters and a three-byte sign are 257 bytes: the sign
    // goes. "a" and 64 four-byte faces: the last face goes.
    const QString accented = QString(127, QChar(0xE9)) + QChar(0x20AC);
    QString faces = QStringLiteral("a");
    for (int i = 0; i < 64; ++i)
        faces += QString::fromUtf8("\xF0\x9F\x98\x80");
    NewzbinSettings newzbin = StoredNewzbin(0);
    NewzbinSettingsDialog first(nullptr, newzbin, ini.c_str(), "Newzbin");
    first.show();
    QApplication::processEvents();
    EXPECT_EQ(first.focusWidget(), Control<QLineEdit>(first, 1001));
    Control<QLineEdit>(first, 1001)->setText(accented);
    Control<QLineEdit>(first, 1002)->setText(faces);
    Control<QPushButton>(first, 1)->click();
    EXPECT_EQ(IniText(ini, "newzbin", "user"), accented.left(127).toStdString());
    EXPECT_EQ(std::string(newzbin.pass), faces.left(1 + 63 * 2).toStdString());
    EXPECT_EQ(accented.toStdString(), AccentedUtf8());
    EXPECT_EQ(IniText(ini, "newzbin", "user"), AccentedKept());
    EXPECT_EQ(std::string(newzbin.pass), FacesKept());
}

// Configure runs the dialog modally over the parent it is given; the test
// answers it from the event loop with Cancel.
void ConfigureAndCancel(const char *libraryPath, const std::string &ini, const std::string &folder,
                        const QString &title) {
    AccountHost host(folder, ini);
    QLN_PLUGIN *plugin = LoadPluginLibrary(libraryPath).getPlugin(0);
    ASSERT_EQ(plugin->Init(0, host.Api()), 0);
    QWidget parent;
    QString seenTitle;
    QWidget *seenParent = nullptr;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QDialog *>(widget);
            if (!dialog || !dialog->isVisible())
                continue;
            seenTitle = dialog->windowTitle();
            seenParent = dialog->parentWidget();
            if (auto *cancel = dialog->findChild<QPushButton *>("2"))
                cancel->click();
            else
                dialog->reject();
        }
    });
    answer.start();
    plugin->Configure(&parent);
    answer.stop();
    EXPECT_EQ(seenTitle, title);
    EXPECT_EQ(seenParent, &parent);
}

TEST_F(SettingsDialogs, ConfigureOpensEachPluginsDialogOverTheParent) {
    ConfigureAndCancel(QLN_NEWZBIN_PATH, ini, box.Path(), "Newzbin Plugin Settings");
    ConfigureAndCancel(QLN_NZBMATRIX_PATH, ini, box.Path(), "NZBMatrix Plugin Settings");
}

} // namespace
