#include "dialogcommon.h"

#include "dialogtesting.h"

namespace {

DialogShownHook &ShownHook() {
    static DialogShownHook hook;
    return hook;
}

}  // namespace

void SetDialogShownHook(DialogShownHook hook) { ShownHook() = std::move(hook); }

INT_PTR RunDialogTemplate(DialogTemplate &dialog, HWND owner, DLGPROC procedure, void *state) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), owner, procedure,
                                   reinterpret_cast<LPARAM>(state));
}

void KeepDialogState(HWND dialog, void *state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
}

void AnnounceDialog(HWND dialog) {
    if (ShownHook())
        PostMessageW(dialog, kDialogShownMessage, 0, 0);
}

void RunShownHook(HWND dialog) {
    // A copy: the hook may replace itself.
    DialogShownHook hook = ShownHook();
    if (hook)
        hook(dialog);
}

void AddListColumn(HWND list, int column, const wchar_t *title, int width) {
    LVCOLUMNW header = {};
    header.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    header.pszText = const_cast<wchar_t *>(title);
    header.cx = width;
    header.iSubItem = column;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&header));
}

int ListClientWidth(HWND list) {
    RECT client = {};
    GetClientRect(list, &client);
    return client.right - client.left;
}

int FirstSelectedRow(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         MAKELPARAM(LVNI_SELECTED, 0)));
}

LPARAM RowData(HWND list, int row) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return -1;
    return item.lParam;
}

void SetRowText(HWND list, int row, int column, const std::wstring &text) {
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t *>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

int RowAt(HWND list, POINT point) {
    LVHITTESTINFO hit = {};
    hit.pt = point;
    const int row = static_cast<int>(SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return (hit.flags & LVHT_ONITEM) ? row : -1;
}
