// Dialog templates built in memory in the layout DialogBoxIndirectParamW
// reads: the dialog's style, size in dialog units, title and font, then one
// entry per control with its class, style, position, id and text.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Predefined control classes, by their atoms.
enum class ControlClass : WORD { Button = 0x0080, Edit = 0x0081, Static = 0x0082, ComboBox = 0x0085 };

constexpr WORD kNoId = 0xFFFF;  // a control without an id

class DialogTemplate {
public:
    // The dialog in "MS Shell Dlg", 8 point.
    DialogTemplate(DWORD style, DWORD exStyle, short width, short height, const wchar_t *title);

    // A control of a predefined class; WS_CHILD and WS_VISIBLE are added.
    void Add(ControlClass kind, DWORD style, WORD id, const wchar_t *text, short x, short y,
             short width, short height);
    // A control of a registered class by name (e.g. "SysListView32").
    void Add(const wchar_t *className, DWORD style, WORD id, const wchar_t *text, short x,
             short y, short width, short height);

    // The finished template, aligned as the system needs it.
    const DLGTEMPLATE *Get();

private:
    void AlignToDword();
    void Word(WORD value);
    void Dword(DWORD value);
    void Text(const wchar_t *text);
    void Control(DWORD style, WORD id, short x, short y, short width, short height);

    std::vector<WORD> words;
    std::vector<DWORD> finished;  // DWORD storage: the template starts 32-bit aligned
    WORD count = 0;
};

// Text between the program (UTF-8) and the window system (UTF-16). Bytes that
// are not UTF-8 become replacement characters, unpaired surrogates likewise.
std::wstring Widen(const std::string &text);
std::string Narrow(const std::wstring &text);
// A control's whole text, and at most `maxChars` characters of it.
std::wstring ControlText(HWND dialog, int id);
std::wstring ControlText(HWND dialog, int id, int maxChars);
