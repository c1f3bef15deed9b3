#include "settings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "backup.h"
#include "datafile.h"
#include "log.h"
#include "vorlo/config.h"
#include "vorlo/platform.h"

HostPaths g_paths;
MainSettings g_settings;

namespace {

const char kSection[] = "Quill";

// Copies text into a fixed buffer; false (buffer untouched) when it does not fit.
bool CopyFits(char *dest, size_t size, const std::string &text) {
    if (text.size() >= size)
        return false;
    std::memcpy(dest, text.c_str(), text.size() + 1);
    return true;
}

void SetPath(char (&dest)[1024], const std::string &text) {
    if (!CopyFits(dest, sizeof dest, text))
        dest[0] = '\0';
}

// The longest name appended to the data folder ("Varnek_Quillon.lock").
const size_t kLongestName = 32;

// Drops one trailing separator, creates the folder (one level, failures
// ignored) and appends the separator again (the system's own when it had none).
void PrepareDownloadFolder(char (&folder)[1024]) {
    size_t n = std::strlen(folder);
    char separator = kPathSeparator;
    if (n > 0 && IsPathSeparator(folder[n - 1])) {
        separator = folder[n - 1];
        folder[--n] = '\0';
    }
    if (n > 0)
        PlatformMakeFolder(folder);
    if (n + 1 < sizeof folder) {
        folder[n] = separator;
        folder[n + 1] = '\0';
    }
}

}  // namespace

void PrepareDownloadFolders() {
    PrepareDownloadFolder(g_settings.NZB_Folder);
    PrepareDownloadFolder(g_settings.Torrent_Folder);
}

void SetDefaultSettings() {
    std::memset(&g_settings, 0, sizeof g_settings);
    g_settings.AutoScan = 0;
    g_settings.SecondsBetweenScans = 900;
    g_settings.minimizeToTray = 0;
    g_settings.confirmExit = 1;
    g_settings.NZB_Exec = 1;
    g_settings.Torrent_Exec = 1;
    g_settings.RetryHours = kDefaultRetryHours;
    g_settings.DailyRetryAfterDays = kDefaultDailyRetryAfterDays;
}

void SetHostPaths(const char *dataFolder) {
    std::string data = dataFolder && *dataFolder ? dataFolder : "./";
    if (!IsPathSeparator(data.back()))
        data += kPathSeparator;
    // A folder so long that the file names would not fit is never cut into a
    // different path: the current folder is used instead.
    if (data.size() + kLongestName >= sizeof g_paths.DataFolder)
        data = "./";

    char program[1024];
    PlatformProgramFolder(program, sizeof program);

    std::memset(&g_paths, 0, sizeof g_paths);
    SetPath(g_paths.DataFolder, data);
    SetPath(g_paths.MainConf, data + "main.conf");
    SetPath(g_paths.ShowsConf, data + "shows.conf");
    SetPath(g_paths.SeenConf, data + "seen.conf");
    SetPath(g_paths.PluginsIni, data + "plugins.ini");
    SetPath(g_paths.BackupFolder, data + "backup");
    SetPath(g_paths.ProgramPlugins, std::string(program) + "plugins" + kPathSeparator);
    SetPath(g_paths.DataPlugins, data + "plugins" + kPathSeparator);
    SetPath(g_paths.InstanceLock, data + "Varnek_Quillon.lock");
}

bool ComputeHostPaths() {
    char folder[1024];
    bool found = PlatformDataFolder("Quillon", folder, sizeof folder);
    if (!found)
        std::snprintf(folder, sizeof folder, "./");
    SetHostPaths(folder);
    return found;
}

bool LoadSettings(const char *path) {
    // An import backs up main.conf first, although it writes nothing itself:
    // the imported values reach main.conf at exit.
    if (path)
        AutoBackup(g_paths.MainConf);
    const char *file = path ? path : g_paths.MainConf;

    FILE *in = OpenDataFile(file);
    if (!in)
        return false;
    Universal_Config config;
    config.ReadStream(in, file, nullptr);
    std::fclose(in);

    VR_SECTION *section = config.GetSection(nullptr, kSection);
    if (!section)
        return true;

    auto flag = [&](const char *key, unsigned char &field) {
        VR_VALUE *v = config.GetSectionValue(section, key);
        if (v && v->type == VR_INTEGER)
            field = v->value.integer != 0 ? 1 : 0;
    };
    auto folder = [&](const char *key, char (&field)[1024]) {
        VR_VALUE *v = config.GetSectionValue(section, key);
        if (v && v->type == VR_STRING && v->value.string)
            CopyFits(field, sizeof field, v->value.string);  // too long: left unchanged
    };

    flag("AutoScan", g_settings.AutoScan);
    VR_VALUE *interval = config.GetSectionValue(section, "SecondsBetweenScans");
    if (interval && interval->type == VR_INTEGER && interval->value.integer >= kIntervalMin)
        g_settings.SecondsBetweenScans = interval->value.integer;
    else if (interval && (interval->type == VR_STRING || interval->value.integer < kIntervalMin))
        // A number past 32 bits reads as text; either way it is no interval.
        Log("SecondsBetweenScans in %s must be a number of seconds from %lld to %lld; the interval "
            "stays %lld seconds.",
            file, static_cast<long long>(kIntervalMin), static_cast<long long>(kIntervalMax),
            static_cast<long long>(g_settings.SecondsBetweenScans));
    flag("minimizeToTray", g_settings.minimizeToTray);
    flag("confirmExit", g_settings.confirmExit);
    flag("NZB_Exec", g_settings.NZB_Exec);
    flag("Torrent_Exec", g_settings.Torrent_Exec);
    folder("NZB_Folder", g_settings.NZB_Folder);
    folder("Torrent_Folder", g_settings.Torrent_Folder);
    folder("TvmazeUrl", g_settings.TvmazeUrl);
    auto bounded = [&](const char *key, int32_t &field, int32_t most, const char *unit) {
        VR_VALUE *v = config.GetSectionValue(section, key);
        if (!v)
            return;
        if (v->type == VR_INTEGER && v->value.integer >= 1 && v->value.integer <= most)
            field = static_cast<int32_t>(v->value.integer);
        else
            Log("%s in %s must be a number of %s from 1 to %d; it stays %d.", key, file, unit,
                static_cast<int>(most), static_cast<int>(field));
    };
    bounded("RetryHours", g_settings.RetryHours, kMaxRetryHours, "hours");
    bounded("DailyRetryAfterDays", g_settings.DailyRetryAfterDays, kMaxDailyRetryAfterDays, "days");
    // An imported folder is used at once, so it is prepared as start-up
    // prepares the folders read from main.conf.
    if (path)
        PrepareDownloadFolders();
    return true;
}

bool SaveSettings(const char *path) {
    Universal_Config config;
    VR_SECTION *section = config.AddSection(nullptr, kSection);

    auto integer = [&](const char *key, int32_t number) {
        VR_VALUE v = VrInteger(number);
        config.SetSectionValue(key, section, &v);
    };
    auto text = [&](const char *key, const char *value) {
        // The format cannot carry an empty text (it reads back as a broken
        // line), so an empty folder is left out and the default stays.
        if (!value[0])
            return;
        VR_VALUE v = VrString(value);
        config.SetSectionValue(key, section, &v);
    };

    integer("AutoScan", g_settings.AutoScan ? 1 : 0);
    // The file holds 32 bits; the interval never leaves that range.
    int64_t interval = g_settings.SecondsBetweenScans;
    interval = interval < kIntervalMin ? kIntervalMin : interval > kIntervalMax ? kIntervalMax : interval;
    integer("SecondsBetweenScans", static_cast<int32_t>(interval));
    integer("minimizeToTray", g_settings.minimizeToTray ? 1 : 0);
    integer("confirmExit", g_settings.confirmExit ? 1 : 0);
    integer("NZB_Exec", g_settings.NZB_Exec ? 1 : 0);
    integer("Torrent_Exec", g_settings.Torrent_Exec ? 1 : 0);
    text("NZB_Folder", g_settings.NZB_Folder);
    text("Torrent_Folder", g_settings.Torrent_Folder);
    text("TvmazeUrl", g_settings.TvmazeUrl);  // only when set: the default is not written
    // The back-off steps only when changed from their defaults.
    if (g_settings.RetryHours != kDefaultRetryHours)
        integer("RetryHours", g_settings.RetryHours);
    if (g_settings.DailyRetryAfterDays != kDefaultDailyRetryAfterDays)
        integer("DailyRetryAfterDays", g_settings.DailyRetryAfterDays);

    if (!path)
        AutoBackup(g_paths.MainConf);
    if (config.SaveFile(path ? path : g_paths.MainConf))
        return true;
    if (!path)
        ReportSaveFailure(g_paths.MainConf, errno);
    return false;
}
