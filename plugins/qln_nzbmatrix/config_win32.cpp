// The NZBMatrix plugin's settings dialog on Windows.
#include "config.h"

#include <dialogkit_win32.h>

void RunNzbMatrixSettingsDialog(void *parent, NzbMatrixSettings &, const char *, const char *pluginName) {
    ShowSettingsDialogUnavailable(parent, pluginName);
}
