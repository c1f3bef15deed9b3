// The show editor "Edit Shows" (template 104): works directly on the show
// list; Save Changes writes the show list file, Add New and Del. Sel. change
// only the list in memory. There is no cancel button: the close box ends it.
#include <windows.h>

#include <string>
#include <vector>

#include "dialogcommon.h"
#include "showform.h"
#include "win32dialogs.h"

namespace {

enum : WORD {
    kShows = 1012,
    kAddNew = 1013,
    kDelete = 1018,
    kName = 1014,
    kKeywords = 1008,
    kShowGroup = 1017,
    kSeasonLabel = 1021,
    kSeason = 1019,
    kEpisodeLabel = 1022,
    kEpisode = 1020,
    kHdOnly = 1023,
    kSkip = 1016,
    kCatchup = 1024,
    kPause = 1025,
    kFind = 1030,
    kSchedule = 1031,
    kSave = IDOK,
    kMatches = 1040,  // the pick list's list box
};

int Selected(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, kShows, CB_GETCURSEL, 0, 0));
}

void Check(HWND dialog, int id, bool checked) {
    CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// Refills the drop-down list from the show list and selects the first entry.
void FillList(HWND dialog) {
    SendDlgItemMessageW(dialog, kShows, CB_RESETCONTENT, 0, 0);
    const std::vector<std::string> names = ShowNames();
    for (const std::string &name : names) {
        const std::wstring text = Widen(name);
        SendDlgItemMessageW(dialog, kShows, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendDlgItemMessageW(dialog, kShows, CB_SETCURSEL, names.empty() ? static_cast<WPARAM>(-1) : 0, 0);
}

// Puts the selected show into the fields (nothing without a selection).
void ShowSelected(HWND dialog) {
    const Show *show = GetShow(Selected(dialog));
    if (!show)
        return;
    const ShowFields fields = ShowFieldsOf(*show);
    SetDlgItemTextW(dialog, kName, Widen(fields.name).c_str());
    SetDlgItemTextW(dialog, kKeywords, Widen(fields.keywords).c_str());
    SetDlgItemTextW(dialog, kSeason, Widen(fields.season).c_str());
    SetDlgItemTextW(dialog, kEpisode, Widen(fields.episode).c_str());
    Check(dialog, kSkip, fields.skip);
    Check(dialog, kHdOnly, fields.hdOnly);
    Check(dialog, kCatchup, fields.catchup);
    Check(dialog, kPause, fields.pause);
    SetDlgItemTextW(dialog, kSchedule, Widen(ShowScheduleText(Selected(dialog))).c_str());
}

// ---- Find -----------------------------------------------------------------------

struct PickState {
    const FindResult *found;
    int picked = -1;
};

INT_PTR CALLBACK PickProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        KeepDialogState(dialog, reinterpret_cast<void *>(lParam));
        auto *state = reinterpret_cast<PickState *>(lParam);
        for (const TvSearchHit &hit : state->found->hits) {
            const std::wstring text = Widen(FindHitText(hit));
            SendDlgItemMessageW(dialog, kMatches, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        SendDlgItemMessageW(dialog, kMatches, LB_SETCURSEL, 0, 0);
        EnableWindow(GetDlgItem(dialog, IDOK), !state->found->hits.empty());
        AnnounceDialog(dialog);
        return TRUE;
    }
    case kDialogShownMessage:
        RunShownHook(dialog);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND: {
        auto *state = DialogState<PickState>(dialog);
        const bool chosen = LOWORD(wParam) == IDOK ||
                            (LOWORD(wParam) == kMatches && HIWORD(wParam) == LBN_DBLCLK);
        if (chosen && state && !state->found->hits.empty()) {
            state->picked = static_cast<int>(SendDlgItemMessageW(dialog, kMatches, LB_GETCURSEL, 0, 0));
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    }
    return FALSE;
}

// The pick list: the matches best first; Link takes the selected one, "Keep
// as typed" (or the close box) none. The chosen match's index, or -1.
int PickMatch(HWND owner, const FindResult &found) {
    std::wstring heading = found.hits.empty()
                               ? (found.error.empty() ? L"TVmaze knows no show of that name."
                                                      : L"TVmaze could not be asked: " + Widen(found.error))
                               : L"Show information from TVmaze.com:";
    DialogTemplate t(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 260, 140,
                     L"Find Show");
    t.Add(ControlClass::Static, SS_LEFT, kNoId, heading.c_str(), 7, 7, 246, 8);
    t.Add(L"LISTBOX", LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, kMatches, L"", 7, 18, 246, 96);
    t.Add(ControlClass::Button, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, L"Link", 125, 119, 50, 14);
    const std::wstring keep = Widen(kKeepAsTyped);
    t.Add(ControlClass::Button, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, keep.c_str(), 179, 119, 74, 14);
    PickState state{&found};
    RunDialogTemplate(t, owner, PickProc, &state);
    return state.picked;
}

// Keeps the window system's messages moving while TVmaze is asked.
void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Find(HWND dialog) {
    const int index = Selected(dialog);
    if (!GetShow(index))
        return;
    const std::string typed = Narrow(ControlText(dialog, kName));
    if (typed.empty())
        return;
    // The dialog takes no input while TVmaze is asked.
    EnableWindow(dialog, FALSE);
    SetDlgItemTextW(dialog, kSchedule, L"Asking TVmaze...");
    const FindResult found = FindShowOnTvmaze(typed, &PumpMessages);
    EnableWindow(dialog, TRUE);
    const int picked = PickMatch(dialog, found);
    if (picked < 0 || static_cast<size_t>(picked) >= found.hits.size()) {
        SetDlgItemTextW(dialog, kSchedule, Widen(ShowScheduleText(index)).c_str());
        return;
    }
    EnableWindow(dialog, FALSE);
    SetDlgItemTextW(dialog, kSchedule, L"Asking TVmaze...");
    const int now = LinkShowToHit(index, found.hits[static_cast<size_t>(picked)], &PumpMessages);
    EnableWindow(dialog, TRUE);
    FillList(dialog);
    SendDlgItemMessageW(dialog, kShows, CB_SETCURSEL, static_cast<WPARAM>(now), 0);
    ShowSelected(dialog);
}

void ClearFields(HWND dialog) {
    for (int id : {kName, kKeywords, kSeason, kEpisode, kSchedule})
        SetDlgItemTextW(dialog, id, L"");
    for (int id : {kHdOnly, kSkip, kCatchup, kPause})
        Check(dialog, id, false);
}

void AddNew(HWND dialog) {
    const int index = AddNewShow();
    if (index < 0)
        return;
    FillList(dialog);
    SendDlgItemMessageW(dialog, kShows, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ShowSelected(dialog);
}

void DeleteSelected(HWND dialog) {
    if (!ConfirmAndDeleteShow(Selected(dialog)))
        return;
    FillList(dialog);
    // With the last show gone the fields would still show it; they are emptied.
    if (ShowCount() == 0)
        ClearFields(dialog);
    ShowSelected(dialog);
}

void SaveChanges(HWND dialog) {
    const int index = Selected(dialog);
    if (!GetShow(index))
        return;
    ShowFields fields;
    fields.name = Narrow(ControlText(dialog, kName));
    fields.keywords = Narrow(ControlText(dialog, kKeywords, kMaxKeywordChars));
    fields.season = Narrow(ControlText(dialog, kSeason));
    fields.episode = Narrow(ControlText(dialog, kEpisode));
    fields.hdOnly = Checked(dialog, kHdOnly);
    fields.skip = Checked(dialog, kSkip);
    fields.catchup = Checked(dialog, kCatchup);
    fields.pause = Checked(dialog, kPause);
    bool renamed = false;
    SaveShowFields(index, fields, &renamed);
    if (renamed) {
        FillList(dialog);
        ShowSelected(dialog);
    } else if (const Show *show = GetShow(index)) {
        // A change of letter case only keeps the list order; the entry shows it.
        const std::wstring text = Widen(ShowFieldsOf(*show).name);
        SendDlgItemMessageW(dialog, kShows, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
        SendDlgItemMessageW(dialog, kShows, CB_INSERTSTRING, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(text.c_str()));
        SendDlgItemMessageW(dialog, kShows, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
}

INT_PTR CALLBACK ShowEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        FillList(dialog);
        ShowSelected(dialog);
        AnnounceDialog(dialog);
        return TRUE;
    case kDialogShownMessage:
        RunShownHook(dialog);
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == kShows) {
            if (HIWORD(wParam) == CBN_SELCHANGE)
                ShowSelected(dialog);  // edits not saved before are lost
            return TRUE;
        }
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        switch (LOWORD(wParam)) {
        case kAddNew:
            AddNew(dialog);
            return TRUE;
        case kDelete:
            DeleteSelected(dialog);
            return TRUE;
        case kSave:  // also Enter
            SaveChanges(dialog);
            return TRUE;
        case kFind:
            Find(dialog);
            return TRUE;
        case IDCANCEL:  // Escape, as the close box
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

void RunShowEditor(HWND owner) {
    const ControlClass button = ControlClass::Button, edit = ControlClass::Edit,
                       label = ControlClass::Static;
    DialogTemplate t(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                     WS_EX_TOOLWINDOW, 316, 136, L"Edit Shows");
    t.Add(ControlClass::ComboBox, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kShows, L"", 61, 7,
          143, 119);
    t.Add(button, BS_PUSHBUTTON | WS_TABSTOP, kAddNew, L"Add New", 207, 7, 40, 14);
    t.Add(button, BS_PUSHBUTTON | WS_TABSTOP, kDelete, L"Del. Sel.", 247, 7, 40, 14);
    t.Add(button, BS_GROUPBOX, kNoId, L"Show Settings", 7, 20, 302, 89);
    t.Add(label, SS_RIGHT, kNoId, L"Show Name:", 10, 32, 63, 8);
    t.Add(edit, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kName, L"", 75, 30, 185, 12);
    t.Add(button, BS_PUSHBUTTON | WS_TABSTOP, kFind, L"Find", 262, 29, 40, 14);
    t.Add(label, SS_RIGHT, kNoId, L"Extra Keywords:", 9, 46, 63, 8);
    t.Add(edit, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kKeywords, L"", 75, 44, 227, 12);
    t.Add(button, BS_GROUPBOX, kShowGroup, L"TV Show Settings", 14, 57, 288, 49);
    t.Add(label, SS_RIGHT, kSeasonLabel, L"Current Season #:", 20, 70, 61, 8);
    t.Add(edit, ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kSeason, L"", 82, 67, 45, 12);
    t.Add(label, SS_RIGHT, kEpisodeLabel, L"Next Episode #:", 20, 83, 61, 8);
    t.Add(edit, ES_NUMBER | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kEpisode, L"", 82, 81, 45, 12);
    t.Add(button, BS_AUTOCHECKBOX | WS_TABSTOP, kHdOnly, L"HD Only (720p/1080p)", 130, 65, 170, 10);
    t.Add(button, BS_AUTOCHECKBOX | WS_TABSTOP, kSkip, L"Skip searching for 6 days when match found",
          130, 75, 169, 10);
    t.Add(button, BS_AUTOCHECKBOX | WS_TABSTOP, kCatchup,
          L"Full Series / Catchup Mode (does not save)", 130, 85, 168, 10);
    t.Add(button, BS_AUTOCHECKBOX | WS_TABSTOP, kPause, L"Pause (ie. between seasons)", 130, 95,
          168, 10);
    t.Add(button, BS_PUSHBUTTON | WS_TABSTOP, kSave, L"Save Changes", 123, 110, 68, 14);
    t.Add(label, SS_LEFT | SS_NOPREFIX, kSchedule, L"", 7, 126, 302, 8);
    RunDialogTemplate(t, owner, ShowEditorProc, nullptr);
}
