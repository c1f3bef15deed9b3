// The Newzbin plugin's Win32 settings dialog (Windows): template 101 built
// in memory, saved through the same rules as the Qt dialog.
#include "config.h"

#include <dialogkit_win32.h>

#include <vorlo/platform.h>

namespace {

class NewzbinDialog : public DialogHandler {
public:
    NewzbinDialog(NewzbinSettings &settings, const char *iniPath) : settings(settings), iniPath(iniPath) {}

    int Init(HWND dialog) override {
        SetItemText(dialog, kNewzbinUserEdit, settings.user);
        SetItemText(dialog, kNewzbinPassEdit, settings.pass);
        // Any stored mode but 0 shows as browser mode.
        CheckRadioButton(dialog, kNewzbinDirectNzbButton, kNewzbinBrowserButton,
                         settings.mode == kModeDirectNzb ? kNewzbinDirectNzbButton : kNewzbinBrowserButton);
        // Typing goes into the first field; OK, first in the tab order, would
        // otherwise take the focus.
        return kNewzbinUserEdit;
    }

    void Ok(HWND dialog) override {
        if (!SaveNewzbinSettings(settings, iniPath, ItemText(dialog, kNewzbinUserEdit),
                                 ItemText(dialog, kNewzbinPassEdit), ItemChecked(dialog, kNewzbinDirectNzbButton)))
            ReportSaveFailure(dialog, iniPath);
    }

    void Command(HWND, int id) override {
        if (id == kNewzbinHelpButton)
            PlatformOpen(NewzbinHelpPage().c_str());
    }

private:
    NewzbinSettings &settings;
    const char *iniPath;
};

}  // namespace

void RunNewzbinSettingsDialog(void *parent, NewzbinSettings &settings, const char *iniPath,
                              const char *pluginName) {
    const DWORD edit = ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    DialogTemplate t(228, 90, SettingsDialogTitle(pluginName));
    t.Add(kButtonClass, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 171, 69, 50, 14, "OK");
    t.Add(kButtonClass, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 119, 69, 50, 14, "Cancel");
    t.Add(kStaticClass, SS_RIGHT, -1, 7, 8, 75, 9, "Newzbin Username:");
    t.Add(kStaticClass, SS_RIGHT, -1, 7, 21, 75, 9, "Newzbin Password:");
    t.Add(kEditClass, edit, kNewzbinUserEdit, 85, 7, 136, 12);
    t.Add(kEditClass, edit | ES_PASSWORD, kNewzbinPassEdit, 85, 20, 136, 12);
    t.Add(kButtonClass, BS_GROUPBOX, -1, 85, 33, 136, 33, "Processing Mode");
    t.Add(kButtonClass, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, kNewzbinDirectNzbButton, 89, 43, 125, 10,
          "Use DirectNZB and Quillon");
    t.Add(kButtonClass, BS_AUTORADIOBUTTON, kNewzbinBrowserButton, 89, 54, 125, 10, "Download with Browser");
    t.Add(kButtonClass, BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, kNewzbinHelpButton, 25, 45, 50, 14, "Help");
    NewzbinDialog handler(settings, iniPath);
    RunDialog(parent, t, handler);
}
