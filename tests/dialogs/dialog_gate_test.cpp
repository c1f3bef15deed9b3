// The three editing commands of the main window open their dialogs only
// while no pass runs, and hold CheckLock for as long as the dialog is open.
#include <QAction>
#include <QDialog>

#include "ConfigWindow.h"
#include "EditItems.h"
#include "EditSeenWindow.h"
#include "commands.h"
#include "dialog_driver.h"
#include "dialog_fixture.h"
#include "mainwindow.h"

namespace {

class DialogGateTest : public DialogTest {};

template <typename D>
void ExpectGate(MainWindow &window, int command, const wchar_t *notice,
                std::vector<AskedBox> &asked) {
    SCOPED_TRACE(command);
    // While a pass runs: the notice, and no dialog.
    checking = true;
    bool opened = false;
    QTimer *poller = WhenDialogShows<D>([&](D *dialog) {
        opened = true;
        dialog->reject();
    });
    window.Action(command)->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, L"Notice");
    EXPECT_EQ(asked[0].text, notice);
    EXPECT_EQ(asked[0].icon, MessageIcon::Information);
    EXPECT_FALSE(opened);
    delete poller;
    asked.clear();

    // Otherwise the dialog opens modally, under the lock, which goes with it.
    checking = false;
    bool heldWhileOpen = false;
    WhenDialogShows<D>([&](D *dialog) {
        opened = true;
        heldWhileOpen = CheckLock.IsOwner();
        dialog->reject();
    });
    window.Action(command)->trigger();
    EXPECT_TRUE(opened);
    EXPECT_TRUE(heldWhileOpen);
    EXPECT_FALSE(CheckLock.IsOwner());
    EXPECT_TRUE(asked.empty());
}

TEST_F(DialogGateTest, EachEditorOpensOnlyOutsideAPassAndHoldsCheckLock) {
    MainWindow window;
    ExpectGate<ConfigWindow>(window, IDM_SETTINGS, kNoticeSettings, asked);
    ExpectGate<EditItems>(window, IDM_EDIT_SHOWS, kNoticeShowEditor, asked);
    ExpectGate<EditSeenWindow>(window, IDM_EDIT_SEEN, kNoticeSeenList, asked);
}

}  // namespace
