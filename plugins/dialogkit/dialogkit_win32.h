// Pieces shared by the plugins' Win32 settings dialogs (Windows): dialog
// templates built in memory in dialog units ("MS Shell Dlg", 8 point), run
// modally with DialogBoxIndirectParamW, and control texts that are UTF-16 at
// the window system and UTF-8 everywhere else. What the dialogs decide is in
// dialogrules.h, shared with the Qt dialogs.
#pragma once

#include "dialogrules.h"

#include <windows.h>

#include <string>
#include <vector>

// Predefined control classes of a template item.
enum DialogItemClass : WORD {
    kButtonClass = 0x0080,
    kEditClass = 0x0081,
    kStaticClass = 0x0082,
    kComboBoxClass = 0x0085,
};

// A DLGTEMPLATE with its items, laid out in one buffer as the dialog manager
// reads it. Positions and sizes are dialog units; texts are UTF-8.
class DialogTemplate {
public:
    DialogTemplate(int width, int height, const std::string &title);
    // Adds a child control (WS_CHILD | WS_VISIBLE are always set).
    void Add(DialogItemClass kind, DWORD style, int id, int x, int y, int width, int height,
             const std::string &text = std::string());
    const DLGTEMPLATE *Get() const { return reinterpret_cast<const DLGTEMPLATE *>(words.data()); }

private:
    void Text(const std::string &text);
    void Align();

    std::vector<WORD> words;
    size_t countAt = 0;
};

// What one dialog does on opening and on its buttons. OK (IDOK) calls Ok()
// and ends the dialog with IDOK; Cancel (IDCANCEL) and closing the window end
// it with IDCANCEL; other commands go to Command().
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    // Fills the controls. Returns the control that gets the keyboard focus
    // (0: the first one that takes it).
    virtual int Init(HWND dialog) = 0;
    virtual void Ok(HWND dialog) = 0;
    virtual void Command(HWND, int) {}
};

// Runs the dialog modally over `parent` (an HWND, may be null); IDOK or
// IDCANCEL, or -1 when it could not be created.
INT_PTR RunDialog(void *parent, const DialogTemplate &dialog, DialogHandler &handler);

// A control's text as UTF-8, at most kEditCharacters characters.
std::string ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::string &text);
bool ItemChecked(HWND dialog, int id);

// A message box over `parent` with an OK button; `icon` is one of the
// MB_ICON* flags.
void ShowMessage(HWND parent, const std::string &text, const std::string &title, UINT icon);
// The notice that settings could not be saved to `iniPath`.
void ReportSaveFailure(HWND parent, const char *iniPath);
