#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "checkcycle.h"
#include "commands.h"
#include "plugapi.h"
#include "window_fixture.h"

FakeTray g_tray;

namespace {

BOOL WINAPI RecordTrayCall(DWORD message, PNOTIFYICONDATAW data) {
    TrayCallRecord record{message, data->uFlags, data->szInfo, data->szInfoTitle, data->szTip,
                          data->dwInfoFlags};
    g_tray.calls.push_back(record);
    switch (message) {
    case NIM_ADD:
        if (g_tray.failAdd)
            return FALSE;
        g_tray.shown = true;
        return TRUE;
    case NIM_MODIFY:
        if (g_tray.failModify > 0 || !g_tray.shown) {
            --g_tray.failModify;
            return FALSE;
        }
        return TRUE;
    case NIM_DELETE: g_tray.shown = false; return TRUE;
    default: return g_tray.shown;
    }
}

std::vector<DWORD> TrayMessages() {
    std::vector<DWORD> out;
    for (const TrayCallRecord &call : g_tray.calls)
        out.push_back(call.message);
    return out;
}

std::wstring MenuText(HMENU menu, UINT item, UINT by) {
    wchar_t text[128] = L"";
    GetMenuStringW(menu, item, text, 128, by);
    return text;
}

}  // namespace

void Win32WindowTest::SetUp() {
    g_tray = FakeTray();
    MainWindow::SetTrayCallForTesting(RecordTrayCall);
    SetFrontEnd(&frontEnd);
    Win32FrontEnd::SetAnswerer([this](const std::wstring &title, const std::wstring &text,
                                      MessageIcon icon, MessageButtons buttons) {
        boxes.push_back({title, text, icon, buttons});
        if (answers.empty())
            return Win32FrontEnd::DefaultAnswer(buttons);
        MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    });
    char name[] = "quillon";
    char *argv[] = {name, nullptr};
    ASSERT_EQ(StartupBeforeWindow(1, argv, box.Path().c_str()), -1);
    ClearLogEntries();
    window = std::make_unique<MainWindow>();
    ASSERT_TRUE(window->Create(GetModuleHandleW(nullptr))) << GetLastError();
    frontEnd.SetWindow(window.get());
    window->Open();
    Pump();
}

void Win32WindowTest::TearDown() {
    if (window)
        Pump();
    frontEnd.SetWindow(nullptr);
    window.reset();
    MSG message;  // a close leaves WM_QUIT behind
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    Win32FrontEnd::SetAnswerer(nullptr);
    MainWindow::SetTrayCallForTesting(nullptr);
    ExitRelease();
    ResetCheckState();
    SetFrontEnd(nullptr);
}

std::vector<std::wstring> Win32WindowTest::Entries(LogTarget which) {
    Pump();
    std::vector<std::wstring> out;
    HWND list = window->List(which);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(text.size() - 1);
        out.push_back(text);
    }
    return out;
}

std::wstring Win32WindowTest::StatusText(int part) {
    Pump();
    wchar_t text[256] = L"";
    const LRESULT length = SendMessageW(window->StatusBar(), SB_GETTEXTLENGTHW, part, 0);
    if (LOWORD(length) < 256)
        SendMessageW(window->StatusBar(), SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
    return text;
}

bool Win32WindowTest::StopScanEnabled() {
    Pump();
    const UINT state = GetMenuState(GetMenu(window->Handle()), IDM_STOP_SCAN, MF_BYCOMMAND);
    return !(state & (MF_GRAYED | MF_DISABLED));
}

TEST_F(Win32WindowTest, TemplateMenuAndStatusBarAsDescribed) {
    HWND hwnd = window->Handle();
    wchar_t caption[64] = L"";
    GetWindowTextW(hwnd, caption, 64);
    EXPECT_STREQ(caption, L"Quillon v1.04");
    EXPECT_TRUE(IsWindowVisible(hwnd));
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);

    // The lists at their places in dialog units, with their styles.
    const struct {
        LogTarget list;
        int id;
        RECT units;
    } lists[] = {{LogTarget::Log, 1004, {11, 17, 11 + 552, 17 + 144}},
                 {LogTarget::Downloads, 1003, {11, 175, 11 + 552, 175 + 92}}};
    for (const auto &expected : lists) {
        HWND list = window->List(expected.list);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(GetDlgCtrlID(list), expected.id);
        RECT pixels = expected.units;
        MapDialogRect(hwnd, &pixels);
        RECT actual;
        GetWindowRect(list, &actual);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT *>(&actual), 2);
        EXPECT_EQ(actual.left, pixels.left);
        EXPECT_EQ(actual.top, pixels.top);
        EXPECT_EQ(actual.right, pixels.right);
        EXPECT_EQ(actual.bottom, pixels.bottom);
    }

    // The menu: every command under its menu, with its access key and state.
    HMENU bar = GetMenu(hwnd);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(MenuText(bar, 0, MF_BYPOSITION), L"&File");
    EXPECT_EQ(MenuText(bar, 1, MF_BYPOSITION), L"&Help");
    HMENU file = GetSubMenu(bar, 0);
    HMENU help = GetSubMenu(bar, 1);
    EXPECT_EQ(MenuText(file, 6, MF_BYPOSITION), L"Im&port");
    EXPECT_EQ(MenuText(file, 7, MF_BYPOSITION), L"E&xport");
    HMENU import = GetSubMenu(file, 6);
    HMENU exportMenu = GetSubMenu(file, 7);
    const struct {
        HMENU menu;
        int position;
        int id;
        const wchar_t *text;
        bool enabled;
    } items[] = {
        {file, 0, IDM_SCAN_NOW, L"Sca&n Now", true},
        {file, 1, IDM_STOP_SCAN, L"S&top Scan", false},
        {file, 3, IDM_EDIT_SHOWS, L"E&dit shows...", true},
        {file, 4, IDM_SETTINGS, L"&Settings...", true},
        {import, 0, IDM_IMPORT_SHOWS, L"Shows...", true},
        {import, 1, IDM_IMPORT_SETTINGS, L"Settings...", true},
        {import, 3, IDM_IMPORT_TVRAGE, L"Shows from TVRage \"My Schedule\"", true},
        {exportMenu, 0, IDM_EXPORT_SHOWS, L"Shows...", true},
        {exportMenu, 1, IDM_EXPORT_SETTINGS, L"Settings...", true},
        {file, 9, IDM_EXIT, L"&Exit...", true},
        {help, 0, IDM_WEBSITE, L"&Website...", true},
        {help, 1, IDM_ABOUT, L"&About...", true},
        {help, 3, IDM_EDIT_SEEN, L"Ed&it seen list...", true},
    };
    for (const auto &item : items) {
        EXPECT_EQ(static_cast<int>(GetMenuItemID(item.menu, item.position)), item.id);
        EXPECT_EQ(MenuText(item.menu, item.position, MF_BYPOSITION), item.text) << item.id;
        const UINT state = GetMenuState(item.menu, item.position, MF_BYPOSITION);
        EXPECT_EQ(!(state & MF_GRAYED), item.enabled) << item.id;
    }

    // Three parts ending at one half, three quarters and the whole width.
    RECT client;
    GetClientRect(hwnd, &client);
    int edges[4] = {0, 0, 0, 0};
    ASSERT_EQ(SendMessageW(window->StatusBar(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
    EXPECT_EQ(edges[0], client.right / 2);
    EXPECT_EQ(edges[1], client.right * 3 / 4);
    EXPECT_EQ(edges[2], client.right);
    EXPECT_EQ(StatusText(0), L"Starting up...");

    // The notification-area icon: added with its message and tip, version 3.
    ASSERT_GE(g_tray.calls.size(), 2u);
    EXPECT_EQ(g_tray.calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(g_tray.calls[0].flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(g_tray.calls[0].tip, L"Quillon");
    EXPECT_EQ(g_tray.calls[1].message, static_cast<DWORD>(NIM_SETVERSION));
    EXPECT_EQ(MainWindow::kTrayMessage, 1051u);
}

TEST_F(Win32WindowTest, CoreLinesFromAnotherThreadAreQueuedAndShownInOrder) {
    HWND logList = window->List(LogTarget::Log);
    const LRESULT before = SendMessageW(logList, LB_GETCOUNT, 0, 0);
    // The window thread waits in join() without dispatching: a writer that
    // waited for it would never end.
    std::thread writer([] {
        Log("Searching for %s %dx%02d ...", "Show", 1, 2);
        LogDownload("Downloaded NZB to %s", "C:\\dl\\x.nzb");
        GetFrontEnd().SetStatusText(1, L"part one");
        GetFrontEnd().SetStopScanEnabled(true);
    });
    writer.join();
    // Posted, not sent: nothing has reached the window before it dispatches.
    EXPECT_EQ(SendMessageW(logList, LB_GETCOUNT, 0, 0), before);
    const std::vector<std::wstring> log = Entries(LogTarget::Log);
    ASSERT_EQ(static_cast<LRESULT>(log.size()), before + 1);
    EXPECT_NE(log.back().find(L"] Searching for Show 1x02 ..."), std::wstring::npos);
    EXPECT_EQ(SendMessageW(logList, LB_GETCURSEL, 0, 0), static_cast<LRESULT>(log.size() - 1));
    const std::vector<std::wstring> downloads = Entries(LogTarget::Downloads);
    ASSERT_EQ(downloads.size(), 1u);
    EXPECT_NE(downloads[0].find(L"] Downloaded NZB to C:\\dl\\x.nzb"), std::wstring::npos);
    EXPECT_EQ(StatusText(1), L"part one");
    EXPECT_TRUE(StopScanEnabled());

    GetFrontEnd().SetStopScanEnabled(false);
    EXPECT_FALSE(StopScanEnabled());
    SetStatus(L"Ready.");
    EXPECT_EQ(StatusText(0), L"Ready.");
    GetFrontEnd().SetStatusText(3, L"no such part");  // ignored

    // The list keeps at most 250 old entries plus the newest message.
    for (int i = 0; i < 300; ++i)
        Log("line %d", i);
    const std::vector<std::wstring> bounded = Entries(LogTarget::Log);
    EXPECT_EQ(bounded.size(), 251u);
    EXPECT_NE(bounded.back().find(L"line 299"), std::wstring::npos);
    EXPECT_NE(bounded.front().find(L"line 49"), std::wstring::npos);
}

TEST_F(Win32WindowTest, ADeliveredDownloadShowsABalloonAndRecoversALostIcon) {
    g_settings.NZB_Exec = 0;
    std::snprintf(g_settings.NZB_Folder, sizeof g_settings.NZB_Folder, "%s", box.Path().c_str());
    box.Write("tmp\\release.nzb", "<nzb/>");
    const std::string source = box.File("tmp\\release.nzb");
    g_tray.calls.clear();
    bool delivered = false;
    std::thread check([&] { delivered = HandleNzbFile(source.c_str()); });
    check.join();
    ASSERT_TRUE(delivered);
    Pump();
    ASSERT_EQ(TrayMessages(), std::vector<DWORD>{NIM_MODIFY});
    EXPECT_EQ(g_tray.calls[0].flags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(g_tray.calls[0].infoTitle, L"Quillon");
    EXPECT_EQ(g_tray.calls[0].info, L"Downloaded NZB to release.nzb");
    EXPECT_EQ(g_tray.calls[0].infoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(Entries(LogTarget::Downloads).size(), 1u);

    // The shell lost the icon: added again, the balloon tried once more; a
    // long text is cut at 255 characters.
    g_tray.calls.clear();
    g_tray.shown = false;
    GetFrontEnd().ShowBalloon(std::wstring(300, L'x'));
    Pump();
    EXPECT_EQ(TrayMessages(),
              (std::vector<DWORD>{NIM_MODIFY, NIM_ADD, NIM_SETVERSION, NIM_MODIFY}));
    EXPECT_EQ(g_tray.calls.back().info, std::wstring(255, L'x'));

    // Never half of a surrogate pair at the cut.
    g_tray.calls.clear();
    GetFrontEnd().ShowBalloon(std::wstring(254, L'x') + L"\U0001F4FA");
    Pump();
    ASSERT_FALSE(g_tray.calls.empty());
    EXPECT_EQ(g_tray.calls.back().info, std::wstring(254, L'x'));
}

TEST_F(Win32WindowTest, ScanCommandsAndTheCheckLockGate) {
    Choose(IDM_SCAN_NOW);
    EXPECT_TRUE(checkNow.load());
    checkNow = false;

    Choose(IDM_STOP_SCAN);
    EXPECT_TRUE(abortCheck.load());
    EXPECT_NE(Entries(LogTarget::Log).back().find(L"Aborting show check..."), std::wstring::npos);
    abortCheck = false;

    // During a pass: Scan Now does nothing; the dialogs and the file commands
    // say why they do not open.
    checking = true;
    Choose(IDM_SCAN_NOW);
    EXPECT_FALSE(checkNow.load());
    // (The gate itself is UnderCheckLock, tested with the Qt front end.)
    for (int id : {IDM_SETTINGS, IDM_EXPORT_SHOWS}) {
        boxes.clear();
        Choose(id);
        ASSERT_EQ(boxes.size(), 1u) << id;
        EXPECT_EQ(boxes[0].text, id == IDM_SETTINGS ? kNoticeSettings : kNoticeImportExport);
    }
    checking = false;

    boxes.clear();
    const size_t logged = Entries(LogTarget::Log).size();
    Choose(IDM_IMPORT_TVRAGE);
    Choose(12345);      // not a command of this window
    Choose(IDCANCEL);   // Escape in the dialog
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Entries(LogTarget::Log).size(), logged);

    Choose(IDM_ABOUT);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, AboutText());
}

TEST_F(Win32WindowTest, MinimisingHidesToTheTrayOnlyWhenAskedAndPossible) {
    HWND hwnd = window->Handle();
    g_settings.minimizeToTray = 0;
    ShowWindow(hwnd, SW_MINIMIZE);
    Pump();
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    ShowWindow(hwnd, SW_RESTORE);

    g_settings.minimizeToTray = 1;
    ShowWindow(hwnd, SW_MINIMIZE);
    Pump();
    EXPECT_FALSE(IsWindowVisible(hwnd));

    // A single left click on the icon restores; so do a double-click and
    // Enter on the icon; other messages do nothing.
    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, WM_MOUSEMOVE);
    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, WM_LBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(IsIconic(hwnd));
    // A second click leaves it up (a double-click must not hide it again).
    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, WM_LBUTTONDBLCLK);
    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(IsIconic(hwnd));
    ShowWindow(hwnd, SW_MINIMIZE);
    Pump();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, NIN_KEYSELECT);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(IsIconic(hwnd));

    // Without an icon in the notification area the window would be lost.
    g_tray.shown = false;
    g_tray.failAdd = true;
    SendMessageW(hwnd, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_FALSE(window->TrayIconShown());
    ShowWindow(hwnd, SW_MINIMIZE);
    Pump();
    EXPECT_TRUE(IsWindowVisible(hwnd));
}

namespace {

struct TrayMenuSeen {
    std::vector<std::wstring> items;
    std::vector<bool> enabled;
    UINT defaultItem = 0;
    UINT answer = 0;
    int shown = 0;
} g_trayMenu;

UINT ChooseFromTrayMenu(HMENU menu, HWND) {
    g_trayMenu.items.clear();
    g_trayMenu.enabled.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        g_trayMenu.items.push_back(MenuText(menu, static_cast<UINT>(i), MF_BYPOSITION));
        g_trayMenu.enabled.push_back(
            !(GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)));
    }
    g_trayMenu.defaultItem = GetMenuDefaultItem(menu, FALSE, 0);
    ++g_trayMenu.shown;
    return g_trayMenu.answer;
}

}  // namespace

TEST_F(Win32WindowTest, TheIconsMenuRestoresScansAndExits) {
    HWND hwnd = window->Handle();
    g_trayMenu = TrayMenuSeen();
    MainWindow::SetTrayMenuCallForTesting(ChooseFromTrayMenu);
    g_settings.minimizeToTray = 1;
    g_settings.confirmExit = 0;
    ShowWindow(hwnd, SW_MINIMIZE);
    Pump();
    ASSERT_FALSE(IsWindowVisible(hwnd));

    // Version 3 of the icon: the menu comes with WM_CONTEXTMENU, not with
    // the right button's release as well (that would open it twice).
    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, WM_RBUTTONUP);
    EXPECT_EQ(g_trayMenu.shown, 0);
    g_trayMenu.answer = MainWindow::kTrayRestore;
    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, WM_CONTEXTMENU);
    ASSERT_EQ(g_trayMenu.shown, 1);
    EXPECT_EQ(g_trayMenu.items,
              (std::vector<std::wstring>{L"&Restore", L"Sca&n Now", L"", L"&Exit"}));
    // (A separator always reports itself disabled.)
    EXPECT_EQ(g_trayMenu.enabled, (std::vector<bool>{true, true, false, true}));
    EXPECT_EQ(g_trayMenu.defaultItem, MainWindow::kTrayRestore);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(IsIconic(hwnd));

    g_trayMenu.answer = IDM_SCAN_NOW;
    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, WM_CONTEXTMENU);
    EXPECT_TRUE(checkNow.load());

    // While a dialog runs over the window, Scan Now and Exit are greyed and
    // choosing them does nothing.
    checkNow = false;
    EnableWindow(hwnd, FALSE);
    g_trayMenu.answer = IDM_EXIT;
    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, WM_CONTEXTMENU);
    EXPECT_EQ(g_trayMenu.enabled, (std::vector<bool>{true, false, false, false}));
    EXPECT_FALSE(window->IsClosed());
    EnableWindow(hwnd, TRUE);

    SendMessageW(hwnd, MainWindow::kTrayMessage, MainWindow::kTrayIconId, WM_CONTEXTMENU);
    EXPECT_TRUE(window->IsClosed());
    EXPECT_FALSE(window->TrayIconShown());
    MainWindow::SetTrayMenuCallForTesting(nullptr);
}

TEST_F(Win32WindowTest, ExitAsksOnlyWhenConfirmExitIsSet) {
    HWND hwnd = window->Handle();
    g_settings.confirmExit = 1;
    answers.push_back(MessageAnswer::No);
    Choose(IDM_EXIT);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, L"Confirmation");
    EXPECT_EQ(boxes[0].text, L"Are you sure you want to exit Quillon?");
    EXPECT_EQ(boxes[0].icon, MessageIcon::Question);
    EXPECT_EQ(boxes[0].buttons, MessageButtons::YesNo);
    EXPECT_FALSE(window->IsClosed());
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(window->TrayIconShown());

    // The close box is the same WM_CLOSE.
    answers.push_back(MessageAnswer::Yes);
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(window->IsClosed());
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(TrayMessages().back(), static_cast<DWORD>(NIM_DELETE));
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    // Closed once: neither another close nor a balloon does anything.
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    GetFrontEnd().ShowBalloon(L"late");
    Pump();
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_EQ(TrayMessages().back(), static_cast<DWORD>(NIM_DELETE));
}

TEST_F(Win32WindowTest, WithoutConfirmExitTheWindowClosesWithoutAsking) {
    g_settings.confirmExit = 0;
    Choose(IDM_EXIT);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(window->IsClosed());
}

TEST_F(Win32WindowTest, TheSessionEndClosesWithoutTheQuestionAndRunsTheExit) {
    HWND hwnd = window->Handle();
    g_settings.confirmExit = 1;
    bool exitRan = false;
    window->SetEndSessionHandler([&] { exitRan = window->IsClosed(); });
    EXPECT_NE(SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0), 0);  // may end
    SendMessageW(hwnd, WM_ENDSESSION, FALSE, 0);  // cancelled by another program
    EXPECT_FALSE(window->IsClosed());
    SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(exitRan);
}
