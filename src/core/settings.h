// Host paths and the main settings (main.conf, section "Quill").
#pragma once

#include <cstdint>

struct HostPaths {
    char DataFolder[1024];       // ends in '/'
    char MainConf[1024];
    char ShowsConf[1024];
    char SeenConf[1024];
    char PluginsIni[1024];
    char BackupFolder[1024];     // no trailing '/'
    char ProgramPlugins[1024];   // program folder + "plugins/"
    char DataPlugins[1024];      // data folder + "plugins/"
    char InstanceLock[1024];     // data folder + "Varnek_Quillon.lock"
};
extern HostPaths g_paths;

// The automatic interval's range in seconds: at least 10, and what the
// file's 32-bit integer can hold.
constexpr int64_t kIntervalMin = 10;
constexpr int64_t kIntervalMax = 2147483647;

struct MainSettings {
    unsigned char AutoScan;
    int64_t SecondsBetweenScans;
    unsigned char minimizeToTray;
    unsigned char confirmExit;
    unsigned char NZB_Exec;
    unsigned char Torrent_Exec;
    char NZB_Folder[1024];       // ends in '/' after start-up
    char Torrent_Folder[1024];
    char TvmazeUrl[1024];        // TVmaze's base address; empty: kDefaultTvmazeUrl
    int32_t RetryHours;          // a linked show's episode after its first day: searched this often
    int32_t DailyRetryAfterDays; // ... until this many days after its window, then daily
};
extern MainSettings g_settings;

constexpr const char *kDefaultTvmazeUrl = "https://api.tvmaze.com";
constexpr int32_t kDefaultRetryHours = 6, kMaxRetryHours = 7 * 24;
constexpr int32_t kDefaultDailyRetryAfterDays = 14, kMaxDailyRetryAfterDays = 366;

// Clears the record and sets the defaults (interval 900, confirm exit and both
// "open" flags on, everything else off, folders empty).
void SetDefaultSettings();
// Finds (creating when missing) the data folder and builds every path from it.
// False when the fallback "./" had to be used.
bool ComputeHostPaths();
// Builds every path from a given data folder (tests, headless host).
void SetHostPaths(const char *dataFolder);

// Without a path: main.conf. With one: backs up main.conf first, then reads
// the given file and prepares its download folders as start-up does. Merges
// what it finds; an interval outside kIntervalMin..kIntervalMax is refused
// with a Log line. False when the file cannot be read.
bool LoadSettings(const char *path = nullptr);
// Both download folders end in exactly one '/' and exist (created one level
// when missing; failures ignored).
void PrepareDownloadFolders();
// Without a path: backs up main.conf, then writes it. With one: writes there,
// no backup. False when the file could not be written (old file kept).
bool SaveSettings(const char *path = nullptr);
