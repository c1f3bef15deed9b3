// The NZBMatrix plugin's Win32 settings dialog (Windows): template 101 built
// in memory, saved through the same rules as the Qt dialog.
#include "config.h"

#include <dialogkit_win32.h>

namespace {

class NzbMatrixDialog : public DialogHandler {
public:
    NzbMatrixDialog(NzbMatrixSettings &settings, const char *iniPath) : settings(settings), iniPath(iniPath) {}

    int Init(HWND dialog) override {
        SetItemText(dialog, kNzbMatrixUserEdit, settings.user);
        SetItemText(dialog, kNzbMatrixKeyEdit, settings.key);
        return kNzbMatrixUserEdit;  // not OK, the first in the tab order
    }

    void Ok(HWND dialog) override {
        if (!SaveNzbMatrixSettings(settings, iniPath, ItemText(dialog, kNzbMatrixUserEdit),
                                   ItemText(dialog, kNzbMatrixKeyEdit)))
            ReportSaveFailure(dialog, iniPath);
    }

private:
    NzbMatrixSettings &settings;
    const char *iniPath;
};

}  // namespace

void RunNzbMatrixSettingsDialog(void *parent, NzbMatrixSettings &settings, const char *iniPath,
                                const char *pluginName) {
    const DWORD edit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    DialogTemplate t(228, 55, SettingsDialogTitle(pluginName));
    t.Add(kButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 171, 34, 50, 14, "OK");
    t.Add(kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 119, 34, 50, 14, "Cancel");
    t.Add(kStaticClass, SS_RIGHT, -1, 7, 8, 75, 9, "NZBMatrix Username:");
    t.Add(kStaticClass, SS_RIGHT, -1, 7, 21, 75, 9, "NZBMatrix API Key:");
    t.Add(kEditClass, edit, kNzbMatrixUserEdit, 85, 7, 136, 12);
    // The key is shown in clear.
    t.Add(kEditClass, edit, kNzbMatrixKeyEdit, 85, 20, 136, 12);
    NzbMatrixDialog handler(settings, iniPath);
    RunDialog(parent, t, handler);
}
