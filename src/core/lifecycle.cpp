#include "lifecycle.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <string>

#include "checkstate.h"
#include "clock.h"
#include "frontend.h"
#include "plugapi.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"
#include "vorlo/folder.h"
#include "vorlo/memleak.h"
#include "vorlo/net.h"
#include "vorlo/platform.h"
#include "vorlo/text.h"

namespace {

int g_instanceLock = -1;
bool g_curlStarted = false;

// A start-up failure that ends the program: a "Fatal Error" box, and the same
// text on standard error so that a run without a window still says why.
void FatalError(const char *text) {
    std::fprintf(stderr, "Fatal Error: %s\n", text);
    std::fflush(stderr);
    wchar_t *wide = ToWide(text);
    GetFrontEnd().ShowMessage(L"Fatal Error", wide ? wide : L"ERROR in mbstowcs", MessageIcon::Error,
                              MessageButtons::Ok);
    if (wide)
        ZFREE(wide);
}

// Removes what a save interrupted by a crash or kill -9 left behind: the
// temporary files in which main.conf, shows.conf, seen.conf and plugins.ini
// are replaced whole (".<name>.tmp-..."), and unfinished backup copies. Runs
// while this copy holds the single-instance lock, so no other copy is
// writing them.
void RemoveUnfinishedSaves() {
    const std::string folders[] = {g_paths.DataFolder, std::string(g_paths.BackupFolder) + kPathSeparator};
    const char *names[] = {"main.conf", "shows.conf", "seen.conf", "plugins.ini"};
    for (const std::string &folder : folders) {
        FileFinder finder(folder.c_str());
        char entry[1024];
        while (finder.Next(entry)) {
            for (const char *name : names) {
                std::string prefix = std::string(".") + name + ".tmp-";
                if (std::strncmp(entry, prefix.c_str(), prefix.size()) == 0) {
                    PlatformRemoveFile((folder + entry).c_str());
                    break;
                }
            }
        }
    }
}

void SetDownloadFolder(char (&folder)[1024]) {
    std::snprintf(folder, sizeof folder, "%.1000sdownloads%c", g_paths.DataFolder, kPathSeparator);
}

}  // namespace

int StartupBeforeWindow(int argc, char **argv, const char *dataFolder) {
    // 1. A clean state (the plugin slots are cleared by the plugin host).
    std::memset(&g_settings, 0, sizeof g_settings);
    std::memset(&g_paths, 0, sizeof g_paths);
    ResetCheckState();
    SetHostArgs(argc, argv);
    ClearShows();
    {
        MutexHold hold(SeenListLock);
        SeenList.clear();
    }

    // A file-size limit makes a write fail (and be reported) instead of
    // killing the program in the middle of a save.
    PlatformIgnoreFileSizeSignal();

    // 2. The network layer; its result does not stop the start-up.
    vrl_init();

    // 3. Defaults.
    SetDefaultSettings();

    // 4, 5. The data folder and every path built from it.
    if (dataFolder && *dataFolder) {
        PlatformMakeFolder(dataFolder, 0700);
        SetHostPaths(dataFolder);
    } else {
        ComputeHostPaths();
    }
    SetDownloadFolder(g_settings.NZB_Folder);
    SetDownloadFolder(g_settings.Torrent_Folder);

    // 6. One copy per data folder. Nothing has been read or written yet.
    int lockError = 0;
    g_instanceLock = PlatformAcquireInstanceLock(g_paths.InstanceLock, &lockError);
    if (g_instanceLock < 0) {
        if (lockError == 0) {
            FatalError("Error: Quillon is already running!");
            vrl_cleanup();
            return 0;
        }
        // Not another copy: the data folder cannot be used at all.
        char text[1400];
        std::snprintf(text, sizeof text, "Error: cannot open the lock file %s: %s",
                      g_paths.InstanceLock, std::strerror(lockError));
        FatalError(text);
        vrl_cleanup();
        return 1;
    }
    RemoveUnfinishedSaves();
    // Temporary files of earlier runs that ended without cleaning up.
    PlatformRemoveStaleTempFolders();
    ReportTempFolderNotice();
    // Files handed to other programs by earlier runs, once they are days old.
    RemoveOldHandedFiles(HostNow());

    // 7. Main settings, merged over the defaults.
    LoadSettings();

    // 8. Both download folders exist and end in exactly one '/'.
    PrepareDownloadFolders();

    // 9. The show list, then the seen list.
    LoadShows();
    LoadSeen();

    // 10. libcurl. The lists loaded so far are not saved on failure.
    CURLcode code = curl_global_init(CURL_GLOBAL_ALL);
    if (code != CURLE_OK) {
        char text[512];
        std::snprintf(text, sizeof text, "Error initializing libCURL! (%s)", curl_easy_strerror(code));
        FatalError(text);
        PlatformReleaseInstanceLock(g_instanceLock);
        g_instanceLock = -1;
        vrl_cleanup();
        return 1;
    }
    g_curlStarted = true;
    return -1;
}

void ExitBeginShutdown() { shuttingDown = true; }

void ExitSaveSettings() { SaveSettings(); }

int ExitRelease() {
    ClearShows();
    if (g_curlStarted) {
        curl_global_cleanup();
        g_curlStarted = false;
    }
    vrl_cleanup();
    if (g_instanceLock >= 0) {
        PlatformRemovePrivateTempFolder();
        PlatformReleaseInstanceLock(g_instanceLock);
        g_instanceLock = -1;
    }
    return 0;
}
