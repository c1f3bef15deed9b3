#include "settingsform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "datafile.h"
#include "vorlo/ini.h"
#include "vorlo/platform.h"

namespace {

const int kStatusSize = 256;

template <size_t N>
void CopyField(char (&field)[N], const std::string &text) {
    const size_t length = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

std::string FieldText(const char *field, size_t size) {
    return std::string(field, strnlen(field, size));
}

// The interval edit's number, or -1 when it holds anything but digits or a
// number beyond what a long long holds.
long long IntervalNumber(const std::string &text) {
    if (text.empty() || text.size() > 18)
        return -1;
    for (char c : text)
        if (c < '0' || c > '9')
            return -1;
    return std::strtoll(text.c_str(), nullptr, 10);
}

std::wstring Number(long long value) { return std::to_wstring(value); }

}  // namespace

const wchar_t kNoPluginConfiguration[] = L"This plugin has no configuration.";
const char kNzbFolderTitle[] = "Select a folder to download NZBs to...";
const char kTorrentFolderTitle[] = "Select a folder to download torrents to...";

SettingsForm SettingsFormFrom(const MainSettings &settings) {
    SettingsForm form;
    form.autoScan = settings.AutoScan != 0;
    form.minimizeToTray = settings.minimizeToTray != 0;
    form.confirmExit = settings.confirmExit != 0;
    form.nzbExec = settings.NZB_Exec != 0;
    form.torrentExec = settings.Torrent_Exec != 0;
    form.interval = std::to_string(static_cast<long long>(settings.SecondsBetweenScans));
    form.nzbFolder = FieldText(settings.NZB_Folder, sizeof settings.NZB_Folder);
    form.torrentFolder = FieldText(settings.Torrent_Folder, sizeof settings.Torrent_Folder);
    return form;
}

std::wstring ApplySettingsForm(const SettingsForm &form, MainSettings &settings) {
    settings.AutoScan = form.autoScan ? 1 : 0;
    settings.minimizeToTray = form.minimizeToTray ? 1 : 0;
    settings.confirmExit = form.confirmExit ? 1 : 0;
    settings.NZB_Exec = form.nzbExec ? 1 : 0;
    settings.Torrent_Exec = form.torrentExec ? 1 : 0;
    if (!form.nzbFolder.empty())
        CopyField(settings.NZB_Folder, form.nzbFolder);
    if (!form.torrentFolder.empty())
        CopyField(settings.Torrent_Folder, form.torrentFolder);
    if (form.interval.empty())
        return std::wstring();
    const long long seconds = IntervalNumber(form.interval);
    if (seconds >= kIntervalMin && seconds <= kIntervalMax) {
        settings.SecondsBetweenScans = seconds;
        return std::wstring();
    }
    // Keeping the old interval without a word would look like a save.
    std::wstring why = seconds >= 0 && seconds < kIntervalMin
                           ? L"The scan interval must be at least " + Number(kIntervalMin) +
                                 L" seconds."
                           : L"The scan interval must be a number from " + Number(kIntervalMin) +
                                 L" to " + Number(kIntervalMax) + L" seconds.";
    return why + L" It stays at " + Number(static_cast<long long>(settings.SecondsBetweenScans)) +
           L" seconds.";
}

PluginSlot *PluginSlotAt(long long index) {
    if (index < 0 || index >= kPluginSlots)
        return nullptr;
    return &g_pluginSlots[index];
}

const char *PluginStateText(const PluginSlot &slot) { return slot.enabled ? "Enabled" : "Disabled"; }

std::string RefreshPluginSlot(const PluginSlot &slot) {
    QLN_PLUGIN *plugin = slot.plugin;
    std::string status = "Disabled";
    if (plugin && slot.enabled) {
        char buffer[kStatusSize];
        std::memset(buffer, 0, sizeof buffer);
        std::strcpy(buffer, "Enabled");
        if (plugin->GetStatus)
            plugin->GetStatus(buffer, kStatusSize);
        buffer[kStatusSize - 1] = '\0';  // whatever the plugin left there
        status = buffer;
    }
    if (plugin && plugin->id) {
        char flag[16];
        std::snprintf(flag, sizeof flag, "%d", slot.enabled ? 1 : 0);
        // A flag that cannot be stored would come back changed at the next
        // start: say so rather than let the row pretend it was kept.
        errno = 0;
        if (IniWriteString(g_paths.PluginsIni, kPluginsSection, plugin->id, flag) != 0)
            ReportSaveFailure(g_paths.PluginsIni, errno ? errno : EIO);
    }
    return status;
}

void TogglePluginSlot(PluginSlot &slot) { slot.enabled = slot.enabled ? 0 : 1; }

std::string ChosenFolder(std::string folder) {
    if (folder.empty())
        return folder;
    if (!IsPathSeparator(folder.back()))
        folder += kPathSeparator;
    // A path the settings record cannot hold whole counts as no choice.
    if (folder.size() >= sizeof(MainSettings{}.NZB_Folder))
        return std::string();
    return folder;
}

std::string SettingsHelpUrl(const char *website) {
    std::string url = website ? website : "";
    if (url.empty() || url.back() != '/')
        url += '/';
    return url + "index.php?load=Settings";
}
