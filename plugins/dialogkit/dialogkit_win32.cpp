// Shared Win32 settings-dialog helpers of the plugin libraries.
#include "dialogkit_win32.h"

#include "dialogrules.h"

#include <vorlo/memleak.h>
#include <vorlo/text.h>

#include <windows.h>

void ShowSettingsDialogUnavailable(void *parent, const char *pluginName) {
    wchar_t *title = ToWide(SettingsDialogTitle(pluginName).c_str());
    MessageBoxW(static_cast<HWND>(parent), L"The settings dialog is not available in this version yet.",
                title, MB_OK | MB_ICONINFORMATION);
    ZFREE(title);
}
