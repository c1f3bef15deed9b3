// The seen list editor (template 106): every seen release with the time it
// was marked; deleting rows erases their entries at once, "Close" saves the
// seen list, the close box leaves the file as it is.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "dialogcommon.h"
#include "seenform.h"
#include "seenlist.h"
#include "win32dialogs.h"

namespace {

enum : WORD { kEntries = 1026, kDeleteSelected = 1025, kClose = IDOK };

// Each row's item data indexes its key here, so that a name the window
// cannot show exactly is still erased by its own key.
struct SeenEditorState {
    std::vector<std::string> keys;
};

HWND List(HWND dialog) { return GetDlgItem(dialog, kEntries); }

void FillList(HWND dialog, SeenEditorState &state) {
    HWND list = List(dialog);
    // The client width beside the vertical scroll bar, which comes as soon as
    // the rows outgrow the list: columns sized on the whole width would then
    // no longer fit and bring a horizontal bar with them. A name cut short
    // shows whole in a tip.
    const int width = ListClientWidth(list) - GetSystemMetrics(SM_CXVSCROLL);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_LABELTIP, LVS_EX_LABELTIP);
    AddListColumn(list, 0, L"Seen Item", static_cast<int>(width * 0.66));
    AddListColumn(list, 1, L"Time", static_cast<int>(width * 0.33));
    for (const SeenRow &entry : SeenRows()) {
        const std::wstring key = Widen(entry.key);
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = static_cast<int>(state.keys.size());
        item.pszText = const_cast<wchar_t *>(key.c_str());
        item.lParam = static_cast<LPARAM>(state.keys.size());
        state.keys.push_back(entry.key);
        const int row = static_cast<int>(
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (row >= 0)
            SetRowText(list, row, 1, Widen(entry.time));
    }
}

void DeleteSelected(HWND dialog, const SeenEditorState &state) {
    HWND list = List(dialog);
    for (int row = FirstSelectedRow(list); row >= 0; row = FirstSelectedRow(list)) {
        const LPARAM index = RowData(list, row);
        if (index >= 0 && static_cast<size_t>(index) < state.keys.size())
            EraseSeenEntry(state.keys[static_cast<size_t>(index)]);
        if (!SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(row), 0))
            break;  // a row that cannot go would be found again and again
    }
}

INT_PTR CALLBACK SeenEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    SeenEditorState *state = DialogState<SeenEditorState>(dialog);
    switch (message) {
    case WM_INITDIALOG:
        state = reinterpret_cast<SeenEditorState *>(lParam);
        KeepDialogState(dialog, state);
        FillList(dialog, *state);
        AnnounceDialog(dialog);
        return TRUE;
    case kDialogShownMessage:
        RunShownHook(dialog);
        return TRUE;
    case WM_CLOSE:  // the close box: deletions stay in memory, the file as it is
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED || !state)
            return FALSE;
        switch (LOWORD(wParam)) {
        case kDeleteSelected:
            DeleteSelected(dialog, *state);
            return TRUE;
        case kClose:
            SaveSeen();
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:  // Escape, as the close box
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const NMHDR *header = reinterpret_cast<const NMHDR *>(lParam);
        if (header->idFrom == kEntries && header->code == LVN_KEYDOWN && state &&
            reinterpret_cast<const NMLVKEYDOWN *>(lParam)->wVKey == VK_DELETE) {
            DeleteSelected(dialog, *state);
            return TRUE;
        }
        return FALSE;
    }
    }
    return FALSE;
}

}  // namespace

void RunSeenListEditor(HWND owner) {
    DialogTemplate t(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 316, 194, L"Dialog");
    t.Add(ControlClass::Static, SS_LEFT, kNoId,
          L"Seen Items List - Entries will be automatically cleared after 60 days.", 7, 8, 302, 8);
    t.Add(WC_LISTVIEWW,
          LVS_REPORT | LVS_SORTASCENDING | LVS_NOLABELWRAP | LVS_NOSORTHEADER | WS_BORDER |
              WS_TABSTOP,
          kEntries, L"", 7, 17, 302, 153);
    t.Add(ControlClass::Button, BS_PUSHBUTTON | WS_TABSTOP, kDeleteSelected, L"Del. Selected", 105,
          173, 53, 14);
    t.Add(ControlClass::Button, BS_DEFPUSHBUTTON | WS_TABSTOP, kClose, L"Close", 160, 173, 50, 14);
    SeenEditorState state;
    RunDialogTemplate(t, owner, SeenEditorProc, &state);
}
