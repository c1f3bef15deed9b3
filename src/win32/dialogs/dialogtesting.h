// Seams for the tests that drive the dialogs: a call made once a dialog is
// up and running its message loop (the test sets controls, sends commands and
// posts the button that ends the dialog), and a stand-in for the folder
// browser. Both are process-wide and for the window thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

using DialogShownHook = std::function<void(HWND dialog)>;
// An empty hook removes it.
void SetDialogShownHook(DialogShownHook hook);

// Opens at `start` (the folder the edit holds, may be empty) and returns the
// chosen folder or an empty text (cancelled); an empty browser restores the
// system's.
using FolderBrowser =
    std::function<std::wstring(const std::wstring &title, const std::wstring &start)>;
void SetFolderBrowser(FolderBrowser browser);
