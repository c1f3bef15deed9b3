#include "win32_dialogs.h"

#include <deque>
#include <utility>

namespace {

std::deque<std::function<void(HWND)>> gActions;
// Actions queued by a running action: they concern the dialogs that action
// opens, so they go before the ones queued earlier.
std::deque<std::function<void(HWND)>> *gNested = nullptr;
UINT_PTR gTimer = 0;

std::string Utf8(const std::wstring &text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? size_t(bytes) : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], bytes, nullptr, nullptr);
    return out;
}

// The visible, enabled dialog box of this thread: the one the user could
// act on now (a message box over a dialog disables the dialog).
BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && IsWindowVisible(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog || gActions.empty())
        return;
    std::function<void(HWND)> act = std::move(gActions.front());
    gActions.pop_front();
    std::deque<std::function<void(HWND)>> nested;
    gNested = &nested;
    act(dialog);
    gNested = nullptr;
    gActions.insert(gActions.begin(), nested.begin(), nested.end());
    if (gActions.empty() && gTimer) {
        KillTimer(nullptr, gTimer);
        gTimer = 0;
    }
}

}  // namespace

void OnNextDialog(std::function<void(HWND)> act) {
    (gNested ? *gNested : gActions).push_back(std::move(act));
    if (!gTimer)
        gTimer = SetTimer(nullptr, 0, 10, Tick);
}

std::string WindowText(HWND window) {
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return Utf8(text);
}

std::string ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetControlText(HWND dialog, int id, const std::wstring &text) { SetDlgItemTextW(dialog, id, text.c_str()); }

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

LONG_PTR ControlStyle(HWND dialog, int id) { return GetWindowLongPtrW(GetDlgItem(dialog, id), GWL_STYLE); }

void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

namespace {
std::string Describe(const RECT &r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}
}  // namespace

std::string Placement(HWND dialog, int id) {
    RECT actual{};
    GetWindowRect(GetDlgItem(dialog, id), &actual);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT *>(&actual), 2);
    return Describe(actual);
}

std::string UnitsRect(HWND dialog, int x, int y, int width, int height) {
    // The dialog manager converts position and size each on its own.
    RECT position{x, y, width, height};
    MapDialogRect(dialog, &position);
    RECT expected{position.left, position.top, position.left + position.right, position.top + position.bottom};
    return Describe(expected);
}

std::string MessageText(HWND box) {
    // The message is the box's static control with id 0xFFFF.
    return ControlText(box, 0xFFFF);
}
