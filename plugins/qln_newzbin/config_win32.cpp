// The Newzbin plugin's settings dialog on Windows.
#include "config.h"

#include <dialogkit_win32.h>

void RunNewzbinSettingsDialog(void *parent, NewzbinSettings &, const char *, const char *pluginName) {
    ShowSettingsDialogUnavailable(parent, pluginName);
}
