// Pieces shared by the plugins' Win32 settings dialogs (Windows).
#pragma once

// Tells the user, in a box over `parent` (an HWND), that the plugin's
// settings dialog is not available in this build yet.
void ShowSettingsDialogUnavailable(void *parent, const char *pluginName);
