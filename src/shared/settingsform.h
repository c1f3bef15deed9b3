// What the settings dialog decides, free of any toolkit: the form's values
// from the main settings and back (with the interval's rules), a plugin row's
// status text and the saving of its enabled flag, the folder picker's answer
// and the help page's address. The Qt and the Win32 dialog both use it.
#pragma once

#include <string>

#include "loader.h"
#include "settings.h"

// The dialog's controls as values; texts are narrow program text.
struct SettingsForm {
    bool autoScan = false;
    bool minimizeToTray = false;
    bool confirmExit = false;
    bool nzbExec = false;
    bool torrentExec = false;
    std::string interval;  // the interval edit's digits
    std::string nzbFolder;
    std::string torrentFolder;
};

SettingsForm SettingsFormFrom(const MainSettings &settings);

// Save & Close: the check boxes and radio buttons always, each folder only
// when its edit is not empty, the interval only when it is a number from
// kIntervalMin to kIntervalMax. Returns the notice that explains an interval
// that was not taken (empty when it was taken or the edit was empty).
std::wstring ApplySettingsForm(const SettingsForm &form, MainSettings &settings);

// The slot of a list row's item data, or nullptr when the index is no slot.
PluginSlot *PluginSlotAt(long long index);

// Refreshing a row: the "Status" text of a slot ("Enabled", the plugin's own
// complaint from GetStatus, or "Disabled"; GetStatus is asked only while the
// plugin is enabled), and the slot's enabled flag written to plugins.ini.
std::string RefreshPluginSlot(const PluginSlot &slot);
// The text of the enable/disable button for a slot's state.
const char *PluginStateText(const PluginSlot &slot);
// Inverts a slot's enabled flag (the slot must hold a plugin).
void TogglePluginSlot(PluginSlot &slot);

// Said when the plugin of a row has no settings dialog.
extern const wchar_t kNoPluginConfiguration[];
// The folder pickers' titles.
extern const char kNzbFolderTitle[];
extern const char kTorrentFolderTitle[];

// A folder the picker returned as the folder edit shows it: with one trailing
// separator added when it has none. Empty (no choice) when it is empty or
// does not fit a settings path field.
std::string ChosenFolder(std::string folder);

// The settings help page below the program's web site.
std::string SettingsHelpUrl(const char *website);
