// The settings dialog "Quillon Settings" (template 105): the main settings,
// changed only by Save & Close, and the plugin list, whose enable/disable
// button and plugin settings dialogs take effect and are saved at once.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "dialogcommon.h"
#include "dialogtesting.h"
#include "frontend.h"
#include "settingsform.h"
#include "vorlo/platform.h"
#include "win32dialogs.h"

// The program's home page (the menu commands' module).
extern const char kWebsiteUrl[];

namespace {

enum : WORD {
    kAutoScan = 1006,
    kInterval = 1007,
    kMinimizeToTray = 1012,
    kConfirmExit = 1009,
    kPluginList = 1018,
    kToggle = 1013,
    kConfigure = 1014,
    kNzbDownload = 1005,
    kNzbFolder = 1003,
    kNzbBrowse = 1010,
    kNzbExec = 1008,
    kTorrentDownload = 1016,
    kTorrentFolder = 1004,
    kTorrentBrowse = 1015,
    kTorrentExec = 1017,
    kHelp = 1011,
};

const int kIntervalDigits = 10;  // as many as the largest interval has

FolderBrowser &BrowserSlot() {
    static FolderBrowser browser;
    return browser;
}

// Once the browser is up it moves to the folder it was given; a folder that
// no longer exists leaves it at its own start.
int CALLBACK SelectStartFolder(HWND browser, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED && start)
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

// The system's folder browser, owned by no window, file system folders only,
// opening at `start`.
std::wstring BrowseForFolder(const std::wstring &title, const std::wstring &start) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The edits keep one trailing backslash; the browser wants it only on a
    // drive's root ("E:\").
    std::wstring folder = start;
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    std::wstring chosen;
    BROWSEINFOW browse = {};
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    if (!folder.empty()) {
        browse.lpfn = SelectStartFolder;
        browse.lParam = reinterpret_cast<LPARAM>(folder.c_str());
    }
    if (LPITEMIDLIST item = SHBrowseForFolderW(&browse)) {
        wchar_t path[1024] = {};
        if (SHGetPathFromIDListW(item, path))
            chosen = path;
        CoTaskMemFree(item);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return chosen;
}

void Check(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

HWND List(HWND dialog) { return GetDlgItem(dialog, kPluginList); }

PluginSlot *SlotOfRow(HWND dialog, int row) {
    return row < 0 ? nullptr : PluginSlotAt(RowData(List(dialog), row));
}

void RefreshRow(HWND dialog, int row) {
    PluginSlot *slot = SlotOfRow(dialog, row);
    if (!slot)
        return;
    SetDlgItemTextW(dialog, kToggle, Widen(PluginStateText(*slot)).c_str());
    SetRowText(List(dialog), row, 1, Widen(RefreshPluginSlot(*slot)));
}

void FillPluginList(HWND dialog) {
    HWND list = List(dialog);
    const int half = ListClientWidth(list) / 2;
    AddListColumn(list, 0, L"Plugin", half);
    AddListColumn(list, 1, L"Status", half);
    EnableWindow(GetDlgItem(dialog, kToggle), FALSE);
    EnableWindow(GetDlgItem(dialog, kConfigure), FALSE);
    for (int index = 0; index < kPluginSlots; ++index) {
        const QLN_PLUGIN *plugin = g_pluginSlots[index].plugin;
        if (!plugin)
            continue;
        const std::wstring name = Widen(plugin->name ? plugin->name : "");
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = kPluginSlots;  // the list sorts itself
        item.pszText = const_cast<wchar_t *>(name.c_str());
        item.lParam = index;
        const int row = static_cast<int>(
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (row >= 0)
            RefreshRow(dialog, row);
    }
}

void FillFromSettings(HWND dialog) {
    const SettingsForm form = SettingsFormFrom(g_settings);
    SetDlgItemTextW(dialog, kNzbFolder, Widen(form.nzbFolder).c_str());
    SetDlgItemTextW(dialog, kTorrentFolder, Widen(form.torrentFolder).c_str());
    SendDlgItemMessageW(dialog, kInterval, EM_LIMITTEXT, kIntervalDigits, 0);
    SetDlgItemTextW(dialog, kInterval, Widen(form.interval).c_str());
    Check(dialog, kAutoScan, form.autoScan);
    Check(dialog, kConfirmExit, form.confirmExit);
    Check(dialog, kMinimizeToTray, form.minimizeToTray);
    Check(dialog, kNzbExec, form.nzbExec);
    Check(dialog, kNzbDownload, !form.nzbExec);
    Check(dialog, kTorrentExec, form.torrentExec);
    Check(dialog, kTorrentDownload, !form.torrentExec);
}

void SaveSettings(HWND dialog) {
    SettingsForm form;
    form.autoScan = Checked(dialog, kAutoScan);
    form.minimizeToTray = Checked(dialog, kMinimizeToTray);
    form.confirmExit = Checked(dialog, kConfirmExit);
    form.nzbExec = Checked(dialog, kNzbExec);
    form.torrentExec = Checked(dialog, kTorrentExec);
    form.interval = Narrow(ControlText(dialog, kInterval));
    form.nzbFolder = Narrow(ControlText(dialog, kNzbFolder));
    form.torrentFolder = Narrow(ControlText(dialog, kTorrentFolder));
    const std::wstring refused = ApplySettingsForm(form, g_settings);
    if (!refused.empty())
        GetFrontEnd().ShowMessage(L"Notice", refused, MessageIcon::Information, MessageButtons::Ok);
}

void ConfigureRow(HWND dialog, int row) {
    PluginSlot *slot = SlotOfRow(dialog, row);
    if (!slot || !slot->plugin)
        return;
    if (slot->plugin->Configure) {
        slot->plugin->Configure(static_cast<void *>(dialog));
        RefreshRow(dialog, row);
    } else {
        GetFrontEnd().ShowMessage(L"Information", kNoPluginConfiguration,
                                  MessageIcon::Information, MessageButtons::Ok);
    }
}

void ToggleRow(HWND dialog, int row) {
    PluginSlot *slot = SlotOfRow(dialog, row);
    if (!slot || !slot->plugin)
        return;
    TogglePluginSlot(*slot);
    RefreshRow(dialog, row);
}

void ChooseFolder(HWND dialog, bool torrent) {
    const std::wstring title = Widen(torrent ? kTorrentFolderTitle : kNzbFolderTitle);
    const int edit = torrent ? kTorrentFolder : kNzbFolder;
    const std::wstring start = ControlText(dialog, edit);
    const FolderBrowser &browser = BrowserSlot();
    const std::wstring folder = browser ? browser(title, start) : BrowseForFolder(title, start);
    const std::string chosen = ChosenFolder(Narrow(folder));
    if (!chosen.empty())
        SetDlgItemTextW(dialog, edit, Widen(chosen).c_str());
}

// A click in the list: both buttons follow whether it hit a row.
void ListClicked(HWND dialog, const NMITEMACTIVATE *click) {
    const int row = RowAt(List(dialog), click->ptAction);
    EnableWindow(GetDlgItem(dialog, kToggle), row >= 0);
    EnableWindow(GetDlgItem(dialog, kConfigure), row >= 0);
    if (row >= 0)
        RefreshRow(dialog, row);
}

INT_PTR CALLBACK SettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        FillFromSettings(dialog);
        FillPluginList(dialog);
        AnnounceDialog(dialog);
        return TRUE;
    case kDialogShownMessage:
        RunShownHook(dialog);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            SaveSettings(dialog);
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case kNzbBrowse:
        case kTorrentBrowse:
            ChooseFolder(dialog, LOWORD(wParam) == kTorrentBrowse);
            return TRUE;
        case kHelp:
            PlatformOpen(SettingsHelpUrl(kWebsiteUrl).c_str());
            return TRUE;
        case kToggle:
            ToggleRow(dialog, FirstSelectedRow(List(dialog)));
            return TRUE;
        case kConfigure:
            ConfigureRow(dialog, FirstSelectedRow(List(dialog)));
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const NMHDR *header = reinterpret_cast<const NMHDR *>(lParam);
        if (header->idFrom != kPluginList)
            return FALSE;
        const NMITEMACTIVATE *click = reinterpret_cast<const NMITEMACTIVATE *>(lParam);
        if (header->code == NM_CLICK) {
            ListClicked(dialog, click);
            return TRUE;
        }
        if (header->code == NM_DBLCLK) {
            ConfigureRow(dialog, RowAt(List(dialog), click->ptAction));
            return TRUE;
        }
        return FALSE;
    }
    }
    return FALSE;
}

}  // namespace

void SetFolderBrowser(FolderBrowser browser) { BrowserSlot() = std::move(browser); }

bool RunSettingsDialog(HWND owner) {
    const ControlClass button = ControlClass::Button, edit = ControlClass::Edit,
                       label = ControlClass::Static;
    const wchar_t *const execute = L"Execute (same as double clicking in Windows)";
    // 25 dialog units wider than the classic 225, so that the scan check
    // box's text ends before its edit and no two buttons touch.
    DialogTemplate t(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                     WS_EX_TOOLWINDOW, 250, 228, L"Quillon Settings");
    t.Add(button, BS_GROUPBOX, kNoId, L"Quillon Options", 7, 7, 236, 41);
    t.Add(button, BS_AUTOCHECKBOX | WS_TABSTOP, kAutoScan,
          L"Automatically scan for new reports every", 10, 16, 160, 10);
    t.Add(edit, ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kInterval, L"", 172, 15, 28, 12);
    t.Add(label, SS_LEFT, kNoId, L"seconds.", 204, 17, 36, 8);
    t.Add(button, BS_AUTOCHECKBOX | WS_TABSTOP, kMinimizeToTray, L"Minimize to system tray", 10, 26,
          100, 10);
    t.Add(button, BS_AUTOCHECKBOX | WS_TABSTOP, kConfirmExit, L"Confirm Exit", 10, 36, 60, 10);
    t.Add(button, BS_GROUPBOX, kNoId, L"Search Plugins", 7, 48, 236, 90);
    t.Add(WC_LISTVIEWW,
          LVS_REPORT | LVS_SORTASCENDING | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_BORDER |
              WS_TABSTOP,
          kPluginList, L"", 11, 57, 228, 61);
    t.Add(button, BS_PUSHBUTTON | WS_TABSTOP, kToggle, L"Disable", 71, 120, 50, 14);
    t.Add(button, BS_PUSHBUTTON | WS_TABSTOP, kConfigure, L"Configure", 129, 120, 50, 14);
    t.Add(button, BS_GROUPBOX, kNoId, L"NZB File Handling", 7, 138, 236, 34);
    t.Add(button, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, kNzbDownload, L"Download NZBs to:",
          11, 148, 80, 10);
    t.Add(edit, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kNzbFolder, L"", 93, 147,
          124, 12);
    t.Add(button, BS_PUSHBUTTON | WS_TABSTOP, kNzbBrowse, L"...", 220, 146, 19, 14);
    t.Add(button, BS_AUTORADIOBUTTON, kNzbExec, execute, 11, 160, 190, 10);
    t.Add(button, BS_GROUPBOX, kNoId, L"BitTorrent File Handling", 7, 172, 236, 34);
    t.Add(button, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, kTorrentDownload,
          L"Download torrents to:", 11, 183, 90, 10);
    t.Add(edit, ES_READONLY | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kTorrentFolder, L"", 103, 182,
          114, 12);
    t.Add(button, BS_PUSHBUTTON | WS_TABSTOP, kTorrentBrowse, L"...", 220, 181, 19, 14);
    t.Add(button, BS_AUTORADIOBUTTON, kTorrentExec, execute, 11, 195, 190, 10);
    t.Add(button, BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, kHelp, L"Help", 7, 209, 50, 14);
    t.Add(button, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, L"Close", 131, 209, 50, 14);
    t.Add(button, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, L"Save && Close", 185, 209, 58, 14);
    return RunDialogTemplate(t, owner, SettingsProc, nullptr) == 1;
}
