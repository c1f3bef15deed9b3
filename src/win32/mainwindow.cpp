#include "mainwindow.h"

#include <commctrl.h>

#include <algorithm>

#include "checkcycle.h"
#include "commands.h"
#include "log.h"
#include "resource.h"
#include "settings.h"
#ifdef QUILLON_WIN32_DIALOGS
#include "win32dialogs.h"
#endif

#define QUILLON_WIDE_(text) L##text
#define QUILLON_WIDE(text) QUILLON_WIDE_(text)

namespace {

const wchar_t kCaption[] = L"Quillon " QUILLON_WIDE(QUILLON_VERSION_TEXT);
const size_t kBalloonMaxChars = 255;
const UINT kBalloonMilliseconds = 10000;

MainWindow::TrayCall g_trayCall = nullptr;
MainWindow::TrayMenuCall g_trayMenuCall = nullptr;

BOOL CallTray(DWORD message, NOTIFYICONDATAW *data) {
    return g_trayCall ? g_trayCall(message, data) : Shell_NotifyIconW(message, data);
}

// At most `limit` UTF-16 units of `text`, never half of a surrogate pair.
std::wstring CutText(const std::wstring &text, size_t limit) {
    if (text.size() <= limit)
        return text;
    size_t length = limit;
    if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
        --length;
    return text.substr(0, length);
}

template <size_t N>
void CopyText(wchar_t (&out)[N], const std::wstring &text) {
    const std::wstring cut = CutText(text, N - 1);
    std::copy(cut.begin(), cut.end(), out);
    out[cut.size()] = L'\0';
}

// Settings, show editor and seen list editor open only while no pass runs,
// and run while CheckLock is held.
void RunEditor(int id, HWND owner) {
#ifdef QUILLON_WIN32_DIALOGS
    switch (id) {
    case IDM_SETTINGS: UnderCheckLock(kNoticeSettings, [owner] { RunSettingsDialog(owner); }); break;
    case IDM_EDIT_SHOWS: UnderCheckLock(kNoticeShowEditor, [owner] { RunShowEditor(owner); }); break;
    case IDM_EDIT_SEEN: UnderCheckLock(kNoticeSeenList, [owner] { RunSeenListEditor(owner); }); break;
    default: break;
    }
#else
    // A build without the dialogs library still keeps the gate.
    const wchar_t *notice = id == IDM_SETTINGS     ? kNoticeSettings
                            : id == IDM_EDIT_SHOWS ? kNoticeShowEditor
                                                   : kNoticeSeenList;
    UnderCheckLock(notice, [owner] {
        (void)owner;
        GetFrontEnd().ShowMessage(L"Information", L"This dialog is not part of this build.",
                                  MessageIcon::Information, MessageButtons::Ok);
    });
#endif
}

}  // namespace

void MainWindow::SetTrayCallForTesting(TrayCall call) { g_trayCall = call; }
void MainWindow::SetTrayMenuCallForTesting(TrayMenuCall call) { g_trayMenuCall = call; }

MainWindow::~MainWindow() {
    RemoveTrayIcon();
    if (window)
        DestroyWindow(window);
}

bool MainWindow::Create(HINSTANCE programInstance) {
    instance = programInstance;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // Explorer announces a restart with this message: the icon must come back.
    taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    window = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, DialogProc,
                                reinterpret_cast<LPARAM>(this));
    return window != nullptr;
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<MainWindow *>(lParam)->window = hwnd;
    }
    auto *self = reinterpret_cast<MainWindow *>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_CLOSE: OnClose(); return TRUE;
    case WM_COMMAND:
        // Menu items and accelerators only; the lists' notifications and
        // the dialog's own Enter and Escape do nothing.
        if (HIWORD(wParam) <= 1 && lParam == 0)
            OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED)
            MinimiseToTray();
        return FALSE;
    case kTrayMessage: OnTrayNotify(lParam); return TRUE;
    case kFlushMessage:
        if (onFlush)
            onFlush();
        return TRUE;
    case WM_ENDSESSION:
        // The session ends: no question, and the exit must be complete
        // before this returns.
        if (wParam) {
            CloseWithoutConfirmation();
            if (onEndSession)
                onEndSession();
        }
        SetWindowLongPtrW(window, DWLP_MSGRESULT, 0);
        return TRUE;
    default: break;
    }
    if (taskbarCreated && message == taskbarCreated && !hasClosed) {
        trayShown = false;
        AddTrayIcon();
        return TRUE;
    }
    return FALSE;
}

void MainWindow::Open() {
    SetWindowTextW(window, kCaption);
    if (HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_QUILLON))) {
        SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }

    // Three parts ending at one half, three quarters and the whole width;
    // the window cannot be resized, so they never change.
    statusBar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                                nullptr, instance, nullptr);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    int edges[3] = {width / 2, width * 3 / 4, width};
    SendMessageW(statusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));

    SetStatus(L"Starting up...");
    AddTrayIcon();
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
}

HWND MainWindow::List(LogTarget list) const {
    return GetDlgItem(window, list == LogTarget::Downloads ? IDC_DOWNLOADS : IDC_LOG);
}

void MainWindow::AppendLines(LogTarget which, const std::vector<std::wstring> &lines) {
    HWND list = List(which);
    if (!list || lines.empty())
        return;
    while (SendMessageW(list, LB_GETCOUNT, 0, 0) > kMaxOldEntries)
        SendMessageW(list, LB_DELETESTRING, 0, 0);
    LRESULT last = LB_ERR;
    for (const std::wstring &line : lines)
        last = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (last >= 0)
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(last), 0);  // also scrolls to it
}

void MainWindow::SetStatusPart(int part, const std::wstring &text) {
    if (statusBar && part >= 0 && part < 3)
        SendMessageW(statusBar, SB_SETTEXTW, static_cast<WPARAM>(part),
                     reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindow::SetStopScanEnabled(bool enabled) {
    EnableMenuItem(GetMenu(window), IDM_STOP_SCAN,
                   MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::FillTrayRecord(NOTIFYICONDATAW &data) const {
    data = NOTIFYICONDATAW();
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = kTrayIconId;
}

bool MainWindow::AddTrayIcon() {
    NOTIFYICONDATAW data;
    FillTrayRecord(data);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUILLON), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    CopyText(data.szTip, L"Quillon");
    trayShown = CallTray(NIM_ADD, &data) != FALSE;
    trayVersionSet = false;
    if (trayShown) {
        // Version 3: the balloon, and the callback's last parameter is still
        // the mouse message, with WM_CONTEXTMENU for the menu.
        data.uVersion = NOTIFYICON_VERSION;
        trayVersionSet = CallTray(NIM_SETVERSION, &data) != FALSE;
    }
    if (data.hIcon)
        DestroyIcon(data.hIcon);
    return trayShown;
}

void MainWindow::RemoveTrayIcon() {
    if (!trayShown || !window)
        return;
    NOTIFYICONDATAW data;
    FillTrayRecord(data);
    CallTray(NIM_DELETE, &data);
    trayShown = false;
}

void MainWindow::ShowBalloon(const std::wstring &text) {
    if (hasClosed)
        return;
    NOTIFYICONDATAW data;
    FillTrayRecord(data);
    data.uFlags = NIF_INFO;
    CopyText(data.szInfoTitle, L"Quillon");
    CopyText(data.szInfo, CutText(text, kBalloonMaxChars));
    data.dwInfoFlags = NIIF_INFO;
    data.uTimeout = kBalloonMilliseconds;
    if (CallTray(NIM_MODIFY, &data))
        return;
    // The notification area has lost the icon (the shell restarted, say):
    // the icon is added again and the balloon tried once more.
    if (AddTrayIcon())
        CallTray(NIM_MODIFY, &data);
}

void MainWindow::MinimiseToTray() {
    // Hidden only with an icon to bring it back by.
    if (g_settings.minimizeToTray && trayShown)
        ShowWindow(window, SW_HIDE);
}

void MainWindow::OnTrayNotify(LPARAM lParam) {
    // A left click (or a double one, or Enter on the icon) brings the window
    // back; the menu comes with a right click or the menu key. Shells that
    // took no version send only the mouse messages.
    switch (LOWORD(lParam)) {
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case NIN_SELECT:
    case NIN_KEYSELECT: RestoreFromTray(); break;
    case WM_CONTEXTMENU: ShowTrayMenu(); break;
    case WM_RBUTTONUP:
        if (!trayVersionSet)
            ShowTrayMenu();
        break;
    default: break;
    }
}

void MainWindow::RestoreFromTray() {
    if (hasClosed)
        return;
    if (!IsWindowVisible(window))
        ShowWindow(window, SW_SHOW);
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

void MainWindow::ShowTrayMenu() {
    if (hasClosed)
        return;
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    // While a dialog or a question runs over the window (it is disabled
    // then), ending the program or starting a pass waits for it to close.
    const UINT busy = IsWindowEnabled(window) ? MF_ENABLED : MF_GRAYED;
    AppendMenuW(menu, MF_STRING, kTrayRestore, L"&Restore");
    AppendMenuW(menu, MF_STRING | busy, IDM_SCAN_NOW, L"Sca&n Now");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | busy, IDM_EXIT, L"&Exit");
    SetMenuDefaultItem(menu, kTrayRestore, FALSE);

    UINT chosen = 0;
    if (g_trayMenuCall) {
        chosen = g_trayMenuCall(menu, window);
    } else {
        // The menu closes on a click elsewhere only when the window is in
        // the foreground, and needs a message after it to close for good.
        POINT at = {};
        GetCursorPos(&at);
        SetForegroundWindow(window);
        chosen = static_cast<UINT>(TrackPopupMenu(
            menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_BOTTOMALIGN, at.x, at.y, 0,
            window, nullptr));
        PostMessageW(window, WM_NULL, 0, 0);
    }
    const UINT state = chosen ? GetMenuState(menu, chosen, MF_BYCOMMAND) : 0;
    DestroyMenu(menu);
    if (!chosen || (state & (MF_GRAYED | MF_DISABLED)))
        return;
    if (chosen == kTrayRestore)
        RestoreFromTray();
    else
        OnCommand(static_cast<int>(chosen));
}

void MainWindow::OnCommand(int id) {
    switch (id) {
    case IDM_EXIT: SendMessageW(window, WM_CLOSE, 0, 0); break;
    case IDM_SETTINGS:
    case IDM_EDIT_SHOWS:
    case IDM_EDIT_SEEN: RunEditor(id, window); break;
    case IDM_SCAN_NOW: RequestScanNow(); break;
    case IDM_ABOUT:
        GetFrontEnd().ShowMessage(AboutTitle(), AboutText(), MessageIcon::Information,
                                  MessageButtons::Ok);
        break;
    case IDM_STOP_SCAN: RequestStopScan(); break;
    case IDM_WEBSITE: OpenWebsite(); break;
    case IDM_EXPORT_SETTINGS: ExportSettings(window); break;
    case IDM_IMPORT_SHOWS: ImportShows(window); break;
    case IDM_IMPORT_SETTINGS: ImportSettings(window); break;
    case IDM_EXPORT_SHOWS: ExportShows(window); break;
    case IDM_IMPORT_TVRAGE: break;  // listed, but there is nothing to import from
    default: break;
    }
}

void MainWindow::CloseWithoutConfirmation() {
    forceClose = true;
    if (!hasClosed)
        OnClose();
}

void MainWindow::OnClose() {
    if (hasClosed)
        return;
    if (!forceClose && g_settings.confirmExit) {
        const MessageAnswer answer =
            GetFrontEnd().ShowMessage(L"Confirmation", L"Are you sure you want to exit Quillon?",
                                      MessageIcon::Question, MessageButtons::YesNo);
        if (hasClosed)  // closed otherwise while the question was open
            return;
        if (answer != MessageAnswer::Yes && !forceClose)
            return;
    }
    hasClosed = true;
    RemoveTrayIcon();
    // The window stays (hidden) until the exit has waited for the check
    // thread: its updates still have somewhere to go.
    ShowWindow(window, SW_HIDE);
    PostQuitMessage(0);
}

void RunMessageLoop(HWND dialog) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!dialog || !IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void DispatchWaitingMessages(HWND dialog) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            continue;
        if (!dialog || !IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}
