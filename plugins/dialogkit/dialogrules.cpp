// Settings-dialog rules shared by the Qt and Win32 dialogs.
#include "dialogrules.h"

#include <vorlo/ini.h>

#include <algorithm>
#include <cstring>

const char *const kQuillonWebSite = "https://quillon.varnek.com/";

std::string SettingsDialogTitle(const char *pluginName) {
    return std::string(pluginName ? pluginName : "") + " Plugin Settings";
}

bool StoreSettingText(const std::string &text, char *setting, const char *iniPath, const char *section,
                      const char *key) {
    if (text.empty())
        return true;
    size_t length = std::min<size_t>(text.size(), kSettingBytes - 1);
    // Cut before a character the limit would split (UTF-8 continuation bytes
    // are 10xxxxxx): half a character would go into the file and the login.
    if (length < text.size())
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    std::memcpy(setting, text.data(), length);
    setting[length] = '\0';
    return IniWriteString(iniPath, section, key, setting) == 0;
}

std::string SaveFailureText(const char *iniPath) {
    return std::string("The settings could not be saved to ") + (iniPath ? iniPath : "") + ".";
}
