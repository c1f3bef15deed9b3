#include "dialog_driver.h"

#include "checkstate.h"
#include "dialogtesting.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"

void Win32DialogTest::SetUpTestSuite() {
    // Without an X display Wine draws nothing, but its null graphics driver
    // still makes every window and control. Wine picks the driver when the
    // desktop process starts, before this runs: scripts/windows-test sets it
    // in the prefix first; setting it here serves the next run of a prefix
    // made otherwise.
    wchar_t display[8];
    if (GetEnvironmentVariableW(L"DISPLAY", display, 8) != 0)
        return;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
        const wchar_t value[] = L"null";
        RegSetValueExW(key, L"Graphics", 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                       sizeof value);
        RegCloseKey(key);
    }
}

void Win32DialogTest::SetUp() {
    SetHostPaths(sandbox.Path().c_str());
    SetDefaultSettings();
    ResetCheckState();
    ClearShows();
    {
        MutexHold hold(SeenListLock);
        SeenList.clear();
    }
    SetFrontEnd(&frontEnd);
}

void Win32DialogTest::TearDown() {
    SetFrontEnd(nullptr);
    SetFolderBrowser({});
    for (int slot : registeredSlots)
        g_pluginSlots[slot] = PluginSlot{};
    ClearShows();
    MutexHold hold(SeenListLock);
    SeenList.clear();
}

void Win32DialogTest::Arm(const std::function<void(HWND)> &steps) {
    if (!steps) {
        SetDialogShownHook({});
        return;
    }
    SetDialogShownHook([steps](HWND dialog) {
        steps(dialog);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
}

int Win32DialogTest::Register(QLN_PLUGIN *plugin, bool enabled) {
    const int slot = FindPluginSlot(plugin->id);
    EXPECT_GE(slot, 0);
    if (slot < 0)
        return -1;
    g_pluginSlots[slot] = PluginSlot{plugin, nullptr, static_cast<unsigned char>(enabled)};
    registeredSlots.push_back(slot);
    return slot;
}

std::wstring Text(HWND dialog, int id) {
    HWND window = id ? GetDlgItem(dialog, id) : dialog;
    EXPECT_NE(window, nullptr) << "no control " << id;
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return text;
}

void SetText(HWND dialog, int id, const std::wstring &text) {
    EXPECT_TRUE(SetDlgItemTextW(dialog, id, text.c_str())) << "no control " << id;
}

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool IsEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

void Press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PostPress(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::wstring RowText(HWND list, int row, int column) {
    wchar_t text[1024] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<std::wstring> Rows(HWND list) {
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row)
        rows.push_back(RowText(list, row, 0));
    return rows;
}

void SelectRow(HWND list, int row) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ClickRow(HWND dialog, int listId, int row, bool twice) {
    HWND list = GetDlgItem(dialog, listId);
    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = static_cast<UINT_PTR>(listId);
    click.hdr.code = twice ? NM_DBLCLK : NM_CLICK;
    click.iItem = row;
    if (row >= 0) {
        RECT rect = {};
        rect.left = LVIR_LABEL;
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
        click.ptAction = {rect.left + 2, (rect.top + rect.bottom) / 2};
        SelectRow(list, row);
    } else {
        RECT client = {};
        GetClientRect(list, &client);
        click.ptAction = {client.right / 4, client.bottom - 2};
    }
    SendMessageW(dialog, WM_NOTIFY, static_cast<WPARAM>(listId), reinterpret_cast<LPARAM>(&click));
}

int ComboCount(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0));
}

int ComboSelection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

std::wstring ComboText(HWND dialog, int id, int index) {
    wchar_t text[1024] = {};
    if (SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) < 1024)
        SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(text));
    return text;
}

void SelectCombo(HWND dialog, int id, int index) {
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
