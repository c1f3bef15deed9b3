// Shared Win32 settings-dialog helpers of the plugin libraries.
#include "dialogkit_win32.h"


namespace {

// The UTF-16 form of a UTF-8 text; a byte that is not UTF-8 shows as U+FFFD
// instead of losing the whole text.
class WideText {
public:
    explicit WideText(const std::string &utf8) {
        int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
        if (length > 0) {
            text.resize(size_t(length));
            MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &text[0], length);
        }
    }
    const wchar_t *Get() const { return text.c_str(); }

private:
    std::wstring text;
};

DialogHandler *HandlerOf(HWND dialog) {
    return reinterpret_cast<DialogHandler *>(GetWindowLongPtrW(dialog, DWLP_USER));
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        int focus = reinterpret_cast<DialogHandler *>(lParam)->Init(dialog);
        if (focus == 0)
            return TRUE;  // the dialog manager focuses the first tab stop
        SetFocus(GetDlgItem(dialog, focus));
        return FALSE;
    }
    case WM_COMMAND: {
        DialogHandler *handler = HandlerOf(dialog);
        if (!handler)
            return FALSE;
        const int id = LOWORD(wParam);
        if (id == IDOK) {
            handler->Ok(dialog);
            EndDialog(dialog, IDOK);
        } else if (id == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        } else if (HIWORD(wParam) == BN_CLICKED) {
            handler->Command(dialog, id);
        } else {
            return FALSE;
        }
        return TRUE;
    }
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

// The module this code is linked into (the plugin DLL), which owns the
// dialogs it creates.
HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&DialogProc), &module);
    return module;
}

}  // namespace

DialogTemplate::DialogTemplate(int width, int height, const std::string &title) {
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER;
    words = {LOWORD(style), HIWORD(style), 0, 0,  // style, extended style
             0,                                 // item count, counted by Add
             0, 0, WORD(width), WORD(height),
             0, 0};                             // no menu, the standard dialog class
    countAt = 4;
    Text(title);
    words.push_back(8);  // point size of the font that sets the dialog units
    Text("MS Shell Dlg");
}

void DialogTemplate::Text(const std::string &text) {
    WideText wide(text);
    for (const wchar_t *c = wide.Get(); *c; ++c)
        words.push_back(static_cast<WORD>(*c));
    words.push_back(0);
}

void DialogTemplate::Align() {
    // Each item starts on a DWORD boundary (the buffer itself is aligned).
    if (words.size() % 2)
        words.push_back(0);
}

void DialogTemplate::Add(DialogItemClass kind, DWORD style, int id, int x, int y, int width, int height,
                         const std::string &text) {
    Align();
    style |= WS_CHILD | WS_VISIBLE;
    words.insert(words.end(), {LOWORD(style), HIWORD(style), 0, 0, WORD(x), WORD(y), WORD(width),
                               WORD(height), WORD(id), 0xFFFF, WORD(kind)});
    Text(text);
    words.push_back(0);  // no creation data
    ++words[countAt];
}

INT_PTR RunDialog(void *parent, const DialogTemplate &dialog, DialogHandler &handler) {
    return DialogBoxIndirectParamW(ThisModule(), dialog.Get(), static_cast<HWND>(parent), DialogProc,
                                   reinterpret_cast<LPARAM>(&handler));
}

std::string ItemText(HWND dialog, int id) {
    wchar_t text[kEditCharacters + 1] = {};
    const int length = GetDlgItemTextW(dialog, id, text, kEditCharacters + 1);
    // An unpaired surrogate becomes U+FFFD rather than failing the whole
    // text: what was typed is kept as far as it can be.
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(bytes > 0 ? size_t(bytes) : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, &result[0], bytes, nullptr, nullptr);
    return result;
}

void SetItemText(HWND dialog, int id, const std::string &text) {
    WideText wide(text);
    SetDlgItemTextW(dialog, id, wide.Get());
}

bool ItemChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void ShowMessage(HWND parent, const std::string &text, const std::string &title, UINT icon) {
    MessageBoxW(parent, WideText(text).Get(), WideText(title).Get(), MB_OK | icon);
}

void ReportSaveFailure(HWND parent, const char *iniPath) {
    ShowMessage(parent, SaveFailureText(iniPath), "Notice", MB_ICONWARNING);
}
