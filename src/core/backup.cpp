#include "backup.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <unistd.h>

#include "clock.h"
#include "log.h"
#include "settings.h"
#include "vorlo/platform.h"
#include "vorlo/text.h"

namespace {

const size_t kCopyBlock = 32768;

bool NameTaken(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

std::string Candidate(const char *folder, const char *name, const struct tm &date, int counter) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%02d%02d%04d%02d", date.tm_mon + 1, date.tm_mday,
                  date.tm_year + 1900, counter);
    return std::string(folder) + "/" + name + suffix;
}

}  // namespace

void AutoBackup(const char *path) {
    if (!path || !*path)
        return;
    const char *folder = g_paths.BackupFolder;
    if (!PlatformFolderExists(folder)) {
        Log("Creating backup folder...");
        PlatformMakeFolder(folder);
    }

    time_t now = static_cast<time_t>(HostNow());
    struct tm date = {};
    localtime_r(&now, &date);
    const char *name = FileNamePart(path);

    FILE *in = std::fopen(path, "rb");
    if (!in)
        return;  // nothing to back up yet (first run)

    // The first free name: ...00, then ...01, ...02 and on past 99. The file
    // is created exclusively, so an existing backup is never overwritten even
    // if its name appeared after the search.
    std::string target;
    FILE *out = nullptr;
    for (int counter = 0; counter >= 0; counter++) {
        target = Candidate(folder, name, date, counter);
        if (NameTaken(target))
            continue;
        out = std::fopen(target.c_str(), "wbx");
        if (out || errno != EEXIST)
            break;
    }
    if (!out) {
        Log("Error opening %s for output", target.c_str());
        std::fclose(in);
        return;
    }

    static thread_local char block[kCopyBlock];
    long long total = 0;
    for (;;) {
        size_t got = std::fread(block, 1, sizeof block, in);
        if (got == 0)
            break;
        total += static_cast<long long>(got);
        if (std::fwrite(block, 1, got, out) != got)
            Log("Error writing %s!", target.c_str());
    }
    std::fclose(in);
    if (std::fclose(out) != 0)
        Log("Error writing %s!", target.c_str());
    Log("Created auto-backup file %s (%lld bytes)", FileNamePart(target.c_str()), total);
}
