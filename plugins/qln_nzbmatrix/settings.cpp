// The NZBMatrix plugin's settings as its dialogs store them.
#include "config.h"

#include <dialogrules.h>

const char *const kNzbMatrixSection = "nzbmatrix";

bool SaveNzbMatrixSettings(NzbMatrixSettings &settings, const char *iniPath, const std::string &user,
                           const std::string &key) {
    bool saved = StoreSettingText(user, settings.user, iniPath, kNzbMatrixSection, "user");
    return StoreSettingText(key, settings.key, iniPath, kNzbMatrixSection, "key") && saved;
}
