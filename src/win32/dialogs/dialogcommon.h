// What the three dialogs share: running a template modally with a state
// record, telling the test seam that a dialog is up, and list-view helpers.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "dialogtemplate.h"

// Posted by WM_INITDIALOG so that the shown hook runs inside the dialog's loop.
constexpr UINT kDialogShownMessage = WM_APP + 0x51;

// Runs the template modally; `state` reaches the procedure as WM_INITDIALOG's
// lParam. Returns EndDialog's result, or -1 when the dialog could not start.
INT_PTR RunDialogTemplate(DialogTemplate &dialog, HWND owner, DLGPROC procedure, void *state);
// Keeps `state` with the dialog (WM_INITDIALOG) and returns it afterwards.
template <typename T>
T *DialogState(HWND dialog) {
    return reinterpret_cast<T *>(GetWindowLongPtrW(dialog, DWLP_USER));
}
void KeepDialogState(HWND dialog, void *state);
// Called from WM_INITDIALOG: the shown hook runs once the loop has started.
void AnnounceDialog(HWND dialog);
// The shown hook for kDialogShownMessage.
void RunShownHook(HWND dialog);

// List views.
void AddListColumn(HWND list, int column, const wchar_t *title, int width);
int ListClientWidth(HWND list);
int FirstSelectedRow(HWND list);  // -1 when none
LPARAM RowData(HWND list, int row);
void SetRowText(HWND list, int row, int column, const std::wstring &text);
// The row at a point of the list's client area, or -1.
int RowAt(HWND list, POINT point);
