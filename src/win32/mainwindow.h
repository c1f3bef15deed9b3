// The Windows main window: a modeless dialog from template 101 with the "Log"
// and "Downloads" lists, the three-part status bar, menu 103 and the
// notification-area icon with its balloon. It presents what the core reports
// and hands each command to commands.h and the three editing dialogs.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "frontend.h"

class MainWindow {
public:
    static constexpr int kMaxOldEntries = 250;
    static constexpr UINT kTrayMessage = WM_USER + 27;  // 1051
    static constexpr UINT kFlushMessage = WM_APP + 1;   // queued front-end updates wait
    static constexpr UINT kTrayIconId = 1;

    // Shell_NotifyIconW, or a test's stand-in.
    using TrayCall = BOOL(WINAPI *)(DWORD message, PNOTIFYICONDATAW data);
    static void SetTrayCallForTesting(TrayCall call);  // nullptr restores the shell's
    // The icon's menu: Restore, Scan Now and Exit. TrackPopupMenu, or a test's
    // stand-in that returns the chosen command (0: none).
    static constexpr UINT kTrayRestore = 1;
    using TrayMenuCall = UINT (*)(HMENU menu, HWND owner);
    static void SetTrayMenuCallForTesting(TrayMenuCall call);  // nullptr restores the system's

    MainWindow() = default;
    ~MainWindow();
    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

    // Creates the window, still hidden. False (with the system's reason in
    // GetLastError) when it cannot be made.
    bool Create(HINSTANCE instance);
    // Opening: caption, status bar, "Starting up...", tray icon, shown.
    void Open();

    HWND Handle() const { return window; }
    HWND List(LogTarget list) const;
    HWND StatusBar() const { return statusBar; }
    bool TrayIconShown() const { return trayShown; }

    // Window thread only (the front end queues calls from other threads).
    void AppendLines(LogTarget list, const std::vector<std::wstring> &lines);
    void SetStatusPart(int part, const std::wstring &text);
    void ShowBalloon(const std::wstring &text);
    void SetStopScanEnabled(bool enabled);

    // Ends the program as closing does, without the question.
    void CloseWithoutConfirmation();
    bool IsClosed() const { return hasClosed; }

    // Called on kFlushMessage: the front end applies its queued updates.
    void SetFlushHandler(std::function<void()> handler) { onFlush = std::move(handler); }
    // Called when the session ends, after the window has closed: the program
    // must finish its exit before the handler returns (the system may end
    // the process right after).
    void SetEndSessionHandler(std::function<void()> handler) { onEndSession = std::move(handler); }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id);
    void OnClose();
    void OnTrayNotify(LPARAM lParam);
    void MinimiseToTray();
    void RestoreFromTray();
    void ShowTrayMenu();
    bool AddTrayIcon();
    void RemoveTrayIcon();
    void FillTrayRecord(NOTIFYICONDATAW &data) const;

    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HWND statusBar = nullptr;
    UINT taskbarCreated = 0;
    bool trayShown = false;
    bool trayVersionSet = false;  // the shell sends WM_CONTEXTMENU for the menu
    bool hasClosed = false;
    bool forceClose = false;
    std::function<void()> onFlush;
    std::function<void()> onEndSession;
};

// The program's message loop: each message goes to the main window's dialog
// keyboard handling first. Returns at WM_QUIT.
void RunMessageLoop(HWND dialog);
// Dispatches every waiting message the same way and returns.
void DispatchWaitingMessages(HWND dialog);
