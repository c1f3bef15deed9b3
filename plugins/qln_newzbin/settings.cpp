// The Newzbin plugin's settings as its dialogs store them.
#include "config.h"

#include <dialogrules.h>

#include <vorlo/ini.h>

const char *const kNewzbinSection = "newzbin";

bool SaveNewzbinSettings(NewzbinSettings &settings, const char *iniPath, const std::string &user,
                         const std::string &pass, bool directNzb) {
    bool saved = StoreSettingText(user, settings.user, iniPath, kNewzbinSection, "user");
    saved = StoreSettingText(pass, settings.pass, iniPath, kNewzbinSection, "pass") && saved;
    settings.mode = directNzb ? kModeDirectNzb : kModeBrowser;
    return IniWriteInt(iniPath, kNewzbinSection, "mode", settings.mode) == 0 && saved;
}

std::string NewzbinHelpPage() { return std::string(kQuillonWebSite) + "index.php?load=Settings:Newzbin"; }
