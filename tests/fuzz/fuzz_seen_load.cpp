// Fuzz target: arbitrary bytes as seen.conf, read by the host core's
// LoadSeen. The list is then saved and read again, and must come back the
// same: every name that was read survives a save and a reload.
#include <stdio.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <map>
#include <string>

#include "clock.h"
#include "seenlist.h"
#include "settings.h"

namespace {

std::string g_folder;

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(g_folder, ec);
}

// Far enough in the past that no entry read from the input has expired.
int64_t FixedClock() { return INT64_MIN / 2; }

std::map<std::string, int64_t> Snapshot() {
    MutexHold hold(SeenListLock);
    return std::map<std::string, int64_t>(SeenList.begin(), SeenList.end());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char folder[] = "/tmp/quillon-fuzz-XXXXXX";
    if (!mkdtemp(folder))
        abort();
    g_folder = folder;
    atexit(RemoveFolder);
    SetHostPaths((g_folder + "/").c_str());
    // Backups would pile up one per run; a backup folder that cannot exist
    // makes each save skip its copy.
    snprintf(g_paths.BackupFolder, sizeof g_paths.BackupFolder, "%s/missing/backup", folder);
    SetHostClockForTesting(FixedClock);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (FILE *file = fopen(g_paths.SeenConf, "wb")) {
        fwrite(data, 1, size, file);
        fclose(file);
    }
    {
        MutexHold hold(SeenListLock);
        SeenList.clear();
    }
    LoadSeen();
    std::map<std::string, int64_t> first = Snapshot();
    if (!SaveSeen())
        abort();
    // Entries older than 60 days before the clock are dropped by the save.
    const int64_t limit = FixedClock() - 5184000;
    for (auto it = first.begin(); it != first.end();)
        it = it->second < limit ? first.erase(it) : std::next(it);
    LoadSeen();
    if (Snapshot() != first)
        abort();
    return 0;
}
