#include "dialogtemplate.h"

#include <cstring>

DialogTemplate::DialogTemplate(DWORD style, DWORD exStyle, short width, short height,
                               const wchar_t *title) {
    Dword(style | DS_SETFONT);
    Dword(exStyle);
    Word(0);  // the control count, set by Get
    Word(0);
    Word(0);
    Word(static_cast<WORD>(width));
    Word(static_cast<WORD>(height));
    Word(0);  // no menu
    Word(0);  // the standard dialog class
    Text(title);
    Word(8);
    Text(L"MS Shell Dlg");
}

void DialogTemplate::AlignToDword() {
    if (words.size() % 2 != 0)
        words.push_back(0);
}

void DialogTemplate::Word(WORD value) { words.push_back(value); }

void DialogTemplate::Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
}

void DialogTemplate::Text(const wchar_t *text) {
    for (const wchar_t *c = text ? text : L""; *c; ++c)
        Word(static_cast<WORD>(*c));
    Word(0);
}

void DialogTemplate::Control(DWORD style, WORD id, short x, short y, short width, short height) {
    AlignToDword();
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Word(static_cast<WORD>(x));
    Word(static_cast<WORD>(y));
    Word(static_cast<WORD>(width));
    Word(static_cast<WORD>(height));
    Word(id);
    ++count;
}

void DialogTemplate::Add(ControlClass kind, DWORD style, WORD id, const wchar_t *text, short x,
                         short y, short width, short height) {
    Control(style, id, x, y, width, height);
    Word(0xFFFF);
    Word(static_cast<WORD>(kind));
    Text(text);
    Word(0);  // no creation data
}

void DialogTemplate::Add(const wchar_t *className, DWORD style, WORD id, const wchar_t *text,
                         short x, short y, short width, short height) {
    Control(style, id, x, y, width, height);
    Text(className);
    Text(text);
    Word(0);
}

const DLGTEMPLATE *DialogTemplate::Get() {
    words[4] = count;  // DLGTEMPLATE::cdit follows style and extended style
    finished.assign((words.size() + 1) / 2, 0);
    std::memcpy(finished.data(), words.data(), words.size() * sizeof(WORD));
    return reinterpret_cast<const DLGTEMPLATE *>(finished.data());
}

std::wstring Widen(const std::string &text) {
    if (text.empty())
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &wide[0], length);
    return wide;
}

std::string Narrow(const std::wstring &text) {
    if (text.empty())
        return std::string();
    const int size = static_cast<int>(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &narrow[0], length, nullptr, nullptr);
    return narrow;
}

std::wstring ControlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control)
        return std::wstring();
    const int length = GetWindowTextLengthW(control);
    return ControlText(dialog, id, length);
}

std::wstring ControlText(HWND dialog, int id, int maxChars) {
    if (maxChars <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(maxChars) + 1, L'\0');
    const UINT copied = GetDlgItemTextW(dialog, id, &text[0], maxChars + 1);
    text.resize(copied);
    return text;
}
