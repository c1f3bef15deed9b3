// What the plugins' settings dialogs decide the same way whichever window
// system shows them (Qt on Linux, Win32 on Windows): the title, the help
// address, how an edit's text becomes a stored setting, and the save-failure
// notice. Texts are UTF-8 here; each front end converts at its own boundary.
#pragma once

#include <string>

// The address of the program's web site, ending in '/'.
extern const char *const kQuillonWebSite;

// Longest text an edit hands over (in characters) and the size of a text
// setting's buffer (at most one byte less is kept).
constexpr int kEditCharacters = 1024;
constexpr int kSettingBytes = 256;

// "<pluginName> Plugin Settings".
std::string SettingsDialogTitle(const char *pluginName);

// Stores `text` (an edit's UTF-8 text) into `setting` (a kSettingBytes
// buffer: at most 255 bytes kept, never half a character) and writes it to
// key `key` of `section` in the INI file at `iniPath`, but only when the text
// is not empty: an emptied edit leaves the stored value in place. Returns
// false only when the file could not be written.
bool StoreSettingText(const std::string &text, char *setting, const char *iniPath, const char *section,
                      const char *key);

// The text of the notice shown when a setting could not be saved to `iniPath`
// (titled "Notice").
std::string SaveFailureText(const char *iniPath);
