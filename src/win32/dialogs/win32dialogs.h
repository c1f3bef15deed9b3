// The editing dialogs of the Windows front end: settings, show editor and
// seen list editor. Each runs modally on the window thread with `owner` as
// its owner while the caller holds CheckLock.
#pragma once

#include <windows.h>

bool RunSettingsDialog(HWND owner);  // true when saved
void RunShowEditor(HWND owner);
void RunSeenListEditor(HWND owner);
