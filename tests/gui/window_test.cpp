#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>

#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <thread>

#include "commands.h"
#include "dialogunits.h"
#include "gui_fixture.h"

namespace {

bool EndsWith(const std::wstring &text, const std::wstring &tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct MenuItem {
    int id;
    const char *text;
    bool enabled;
    const char *menu;
};

}  // namespace

TEST_F(WindowTest, ControlsAndMenuCarryTheirIdsTextsAndInitialStates) {
    EXPECT_EQ(window->objectName(), QStringLiteral("101"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillon v1.04"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());  // not resizable

    const DialogUnits du(window->font());
    auto *logList = window->findChild<QListWidget *>(QStringLiteral("1004"));
    auto *downloadList = window->findChild<QListWidget *>(QStringLiteral("1003"));
    ASSERT_TRUE(logList && downloadList);
    EXPECT_EQ(logList->geometry(), du.Rect(11, 17, 552, 144));
    EXPECT_EQ(downloadList->geometry(), du.Rect(11, 175, 552, 92));
    QStringList groups;
    for (QGroupBox *group : window->findChildren<QGroupBox *>())
        groups << group->title();
    EXPECT_EQ(groups, (QStringList{QStringLiteral("Log"), QStringLiteral("Downloads")}));

    ASSERT_NE(window->findChild<QMenuBar *>(QStringLiteral("103")), nullptr);
    const MenuItem items[] = {
        {40004, "Sca&n Now", true, "&File"},
        {40007, "S&top Scan", false, "&File"},
        {40003, "E&dit shows...", true, "&File"},
        {40002, "&Settings...", true, "&File"},
        {40015, "Shows...", true, "Im&port"},
        {40016, "Settings...", true, "Im&port"},
        {40017, "Shows from TVRage \"My Schedule\"", true, "Im&port"},
        {40018, "Shows...", true, "E&xport"},
        {40014, "Settings...", true, "E&xport"},
        {40001, "&Exit...", true, "&File"},
        {40008, "&Website...", true, "&Help"},
        {40005, "&About...", true, "&Help"},
        {40010, "Ed&it seen list...", true, "&Help"},
    };
    for (const MenuItem &item : items) {
        QAction *action = window->Action(item.id);
        ASSERT_NE(action, nullptr) << item.id;
        EXPECT_EQ(action->objectName(), QString::number(item.id));
        EXPECT_EQ(action->data().toInt(), item.id);
        EXPECT_EQ(action->text(), QString::fromUtf8(item.text)) << item.id;
        EXPECT_EQ(action->isEnabled(), item.enabled) << item.id;
        bool inMenu = false;
        for (QMenu *menu : window->findChildren<QMenu *>())
            if (menu->title() == QString::fromUtf8(item.menu) && menu->actions().contains(action))
                inMenu = true;
        EXPECT_TRUE(inMenu) << item.id << " in " << item.menu;
    }

    // The File menu's order, separators included.
    QMenu *file = nullptr;
    for (QMenu *menu : window->findChildren<QMenu *>())
        if (menu->title() == QStringLiteral("&File"))
            file = menu;
    ASSERT_NE(file, nullptr);
    QStringList order;
    for (QAction *action : file->actions())
        order << (action->isSeparator() ? QStringLiteral("-")
                  : action->menu()      ? action->menu()->title()
                                        : action->objectName());
    EXPECT_EQ(order.join(QLatin1Char(' ')),
              QStringLiteral("40004 40007 - 40003 40002 - Im&port E&xport - 40001"));
}

TEST_F(WindowTest, StatusBarHasThreePartsAtHalfThreeQuartersAndFullWidth) {
    const int width = window->centralWidget()->width();
    const int edges[3] = {width / 2, width * 3 / 4, width};
    for (int i = 0; i < 3; ++i) {
        auto *part = window->findChild<QLabel *>(QStringLiteral("statusPart%1").arg(i));
        ASSERT_NE(part, nullptr);
        const int right = part->mapTo(window.get(), QPoint(part->width(), 0)).x();
        EXPECT_NEAR(right, edges[i], 4) << i;
    }
    // Opening said "Starting up..." in part 0 and the Log.
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("statusPart0"))->text(),
              QStringLiteral("Starting up..."));
    std::vector<std::wstring> log = Entries(LogTarget::Log);
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(EndsWith(log.back(), L"] Starting up..."));
}

TEST_F(WindowTest, ThreeHundredMessagesFromTheCheckThreadLeaveTheNewestSelected) {
    std::thread worker([] {
        for (int i = 0; i < 300; ++i)
            Log("message %d", i);
        LogDownload("%s", "Downloaded one\nDownloaded two");
    });
    worker.join();
    std::vector<std::wstring> log = Entries(LogTarget::Log);
    EXPECT_LE(log.size(), 251u);
    EXPECT_TRUE(EndsWith(log.back(), L"] message 299"));
    // In order, without gaps.
    for (size_t i = 1; i < log.size(); ++i) {
        const size_t n = log.size() - 1 - i;
        EXPECT_TRUE(EndsWith(log[n], L"] message " + std::to_wstring(299 - i))) << n;
    }
    QListWidget *list = window->List(LogTarget::Log);
    EXPECT_EQ(list->currentRow(), list->count() - 1);
    EXPECT_TRUE(list->currentItem()->isSelected());

    std::vector<std::wstring> downloads = Entries(LogTarget::Downloads);
    ASSERT_EQ(downloads.size(), 2u);
    EXPECT_TRUE(EndsWith(downloads[1], L"] Downloaded two"));
    EXPECT_EQ(window->List(LogTarget::Downloads)->currentRow(), 1);
}

TEST_F(WindowTest, TextsWithPercentSignsAreShownAsTyped) {
    Log("Searching for %s %dx%02d ...", "100% Pure %s %d", 1, 2);
    GetFrontEnd().SetStatusText(2, L"50% done %s");
    EXPECT_TRUE(EndsWith(Entries(LogTarget::Log).back(), L"] Searching for 100% Pure %s %d 1x02 ..."));
    EXPECT_EQ(window->findChild<QLabel *>(QStringLiteral("statusPart2"))->text(),
              QStringLiteral("50% done %s"));

    // A real box (no answerer) shows title, text, icon and buttons unchanged.
    QtFrontEnd::SetAnswerer(nullptr);
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    WhenDialogShows<QMessageBox>([&](QMessageBox *shown) {
        title = shown->windowTitle();
        text = shown->text();
        icon = shown->icon();
        buttons = shown->standardButtons();
        shown->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(frontEnd.ShowMessage(L"Import Shows", L"100% <b>sure</b>?", MessageIcon::Question,
                                   MessageButtons::YesNo),
              MessageAnswer::Yes);
    EXPECT_EQ(title, QStringLiteral("Import Shows"));
    EXPECT_EQ(text, QStringLiteral("100% <b>sure</b>?"));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
}

TEST_F(WindowTest, StopScanFollowsTheFrontEndCallsFromAnyThread) {
    QAction *stop = window->Action(IDM_STOP_SCAN);
    std::thread([] { GetFrontEnd().SetStopScanEnabled(true); }).join();
    frontEnd.Flush();
    EXPECT_TRUE(stop->isEnabled());
    std::thread([] { GetFrontEnd().SetStopScanEnabled(false); }).join();
    frontEnd.Flush();
    EXPECT_FALSE(stop->isEnabled());

    stop->setEnabled(true);
    Choose(IDM_STOP_SCAN);
    EXPECT_TRUE(abortCheck.load());
    EXPECT_TRUE(EndsWith(Entries(LogTarget::Log).back(), L"] Aborting show check..."));
}

TEST_F(WindowTest, ScanNowAsksForAPassOnlyWhenNoneRuns) {
    {
        MutexHold hold(CheckLock);
        checking = true;
    }
    Choose(IDM_SCAN_NOW);
    EXPECT_FALSE(checkNow.load());
    checking = false;
    Choose(IDM_SCAN_NOW);
    EXPECT_TRUE(checkNow.load());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(WindowTest, AboutBoxAndTheItemThatDoesNothing) {
    const size_t logged = Entries(LogTarget::Log).size();
    Choose(IDM_IMPORT_TVRAGE);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Entries(LogTarget::Log).size(), logged);

    Choose(IDM_ABOUT);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"About Quillon v1.04");
    EXPECT_EQ(boxes[0].icon, MessageIcon::Information);
    EXPECT_EQ(boxes[0].buttons, MessageButtons::Ok);
    const std::wstring &text = boxes[0].text;
    EXPECT_TRUE(std::regex_search(QString::fromStdWString(text).toStdString(),
                                  std::regex("^Quillon v1\\.04 .*Varnek Software\nBuild date: "
                                             "[A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4} at "
                                             "[0-9]{2}:[0-9]{2}:[0-9]{2}\n\n")));
    EXPECT_NE(text.find(L"\n\nQuillon is for legal purposes only.\nThe author of this program cannot "
                        L"be held liable for any misuse by the end-user(s) of this product.\n\n"),
              std::wstring::npos);
    EXPECT_NE(text.find(L"Copyright"), std::wstring::npos);
}

TEST_F(WindowTest, WithoutATrayMinimisingNeverHidesTheWindow) {
    g_settings.minimizeToTray = 1;
    window->ShowBalloon(QStringLiteral("Downloaded NZB to x.nzb"));  // skipped, no tray here
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "this platform has a tray";
    EXPECT_FALSE(window->CanHideToTray());
    window->showMinimized();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isHidden());
}

TEST_F(WindowTest, ExitAsksOnlyWhenConfirmExitIsSet) {
    QSignalSpy closed(window.get(), &MainWindow::closed);
    g_settings.confirmExit = 1;
    answers.push_back(MessageAnswer::No);
    Choose(IDM_EXIT);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"Confirmation");
    EXPECT_EQ(boxes[0].text, L"Are you sure you want to exit Quillon?");
    EXPECT_EQ(boxes[0].icon, MessageIcon::Question);
    EXPECT_EQ(boxes[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(window->isVisible());

    g_settings.confirmExit = 0;
    Choose(IDM_EXIT);
    EXPECT_EQ(boxes.size(), 1u);  // no second question
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(window->IsClosed());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(WindowTest, ASignalClosesWithoutTheQuestion) {
    QSignalSpy closed(window.get(), &MainWindow::closed);
    g_settings.confirmExit = 1;
    window->CloseWithoutConfirmation();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(WindowTest, WebsiteOpensTheHomePageWithTheDesktopHandler) {
    // A recording stand-in for xdg-open, first on PATH.
    box.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + box.File("opened.tmp") +
                                  "\" && mv \"" + box.File("opened.tmp") + "\" \"" +
                                  box.File("opened.txt") + "\"\n");
    ASSERT_EQ(chmod(box.File("bin/xdg-open").c_str(), 0755), 0);
    const std::string oldPath = qEnvironmentVariable("PATH").toStdString();
    setenv("PATH", (box.File("bin") + ":" + oldPath).c_str(), 1);
    Choose(IDM_WEBSITE);
    setenv("PATH", oldPath.c_str(), 1);
    for (int i = 0; i < 30000 && !box.Exists("opened.txt"); ++i)  // hang guard only
        usleep(10000);
    EXPECT_EQ(box.Read("opened.txt"), std::string(kWebsiteUrl));
    EXPECT_TRUE(boxes.empty());
}

// The same window on a desktop that has a tray.
class TrayWindowTest : public WindowTest {
protected:
    void SetUp() override {
        OverrideSystemTrayAvailable(1);
        WindowTest::SetUp();
    }
    void TearDown() override {
        WindowTest::TearDown();
        OverrideSystemTrayAvailable(-1);
    }
    // Activates the icon in turn for each reason; whether the window then shows.
    bool Activate(std::initializer_list<QSystemTrayIcon::ActivationReason> reasons) {
        for (QSystemTrayIcon::ActivationReason reason : reasons)
            emit window->TrayIcon()->activated(reason);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return window->isVisible() && !window->isMinimized();
    }
};

TEST_F(TrayWindowTest, ASingleClickTogglesTheWindowADoubleClickTogglesItOnce) {
    g_settings.minimizeToTray = 1;
    EXPECT_FALSE(Activate({QSystemTrayIcon::Trigger}));
    EXPECT_TRUE(window->isHidden());
    EXPECT_TRUE(Activate({QSystemTrayIcon::Trigger}));
    // An X11 tray reports a double-click as a single activation, then the double one.
    EXPECT_FALSE(Activate({QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}));
    EXPECT_TRUE(Activate({QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick}));
    EXPECT_FALSE(Activate({QSystemTrayIcon::Context, QSystemTrayIcon::DoubleClick}));
}

TEST_F(TrayWindowTest, TheTrayMenuRestoresScansAndExits) {
    QMenu *menu = window->TrayMenu();
    ASSERT_TRUE(menu && window->TrayIcon()->contextMenu() == menu);
    QStringList texts;
    for (QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts.join(QLatin1Char('|')), QStringLiteral("&Restore|Sca&n Now|-|&Exit"));
    EXPECT_EQ(window->Action(IDM_EXIT)->text(), QStringLiteral("&Exit..."));  // not the tray's

    g_settings.minimizeToTray = 1;
    Activate({QSystemTrayIcon::Trigger});
    menu->findChild<QAction *>(QStringLiteral("trayRestore"))->trigger();
    EXPECT_TRUE(window->isVisible() && !window->isMinimized());
    menu->findChild<QAction *>(QStringLiteral("trayScanNow"))->trigger();
    EXPECT_TRUE(checkNow.load());
    QSignalSpy closed(window.get(), &MainWindow::closed);
    g_settings.confirmExit = 1;
    answers = {MessageAnswer::No, MessageAnswer::Yes};
    menu->findChild<QAction *>(QStringLiteral("trayExit"))->trigger();
    EXPECT_EQ(closed.count(), 0);
    menu->findChild<QAction *>(QStringLiteral("trayExit"))->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(boxes.size(), 2u);
}
