#include "backup.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>
#include <vector>
#include <unistd.h>

#include "clock.h"
#include "log.h"
#include "settings.h"
#include "vorlo/platform.h"
#include "vorlo/text.h"

namespace {

const size_t kCopyBlock = 32768;

// Any entry of that name (a file, a folder, or a link to either) takes it.
bool NameTaken(const std::string &path) {
    return PlatformFileExists(path.c_str()) || PlatformFolderExists(path.c_str());
}

std::string Candidate(const char *folder, const char *name, const struct tm &date, int counter) {
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%02d%02d%04d%02d", date.tm_mon + 1, date.tm_mday,
                  date.tm_year + 1900, counter);
    return std::string(folder) + kPathSeparator + name + suffix;
}

// True for "<name>.<date><counter>": eight date digits and at least two
// counter digits, the names AutoBackup gives.
bool IsBackupOf(const std::string &file, const std::string &name) {
    if (file.size() < name.size() + 11 || file.compare(0, name.size(), name) != 0 || file[name.size()] != '.')
        return false;
    for (size_t i = name.size() + 1; i < file.size(); ++i)
        if (file[i] < '0' || file[i] > '9')
            return false;
    return true;
}

}  // namespace

void PruneBackups(const char *name) {
    if (!name || !*name)
        return;
    std::vector<PlatformFileEntry> backups;
    for (PlatformFileEntry &file : PlatformListFiles(g_paths.BackupFolder))
        if (IsBackupOf(file.name, name))
            backups.push_back(std::move(file));
    if (backups.empty())
        return;
    // The newest backup stays whatever its age: it is the one way back.
    size_t newest = 0;
    for (size_t i = 1; i < backups.size(); ++i)
        if (backups[i].modified > backups[newest].modified)
            newest = i;
    // File times come from the system clock, so the age is measured on it.
    const int64_t limit = static_cast<int64_t>(std::time(nullptr)) - kBackupKeepSeconds;
    for (size_t i = 0; i < backups.size(); ++i) {
        if (i == newest || backups[i].modified >= limit)
            continue;
        std::string path = std::string(g_paths.BackupFolder) + kPathSeparator + backups[i].name;
        PlatformRemoveFile(path.c_str());
    }
}

void AutoBackup(const char *path) {
    if (!path || !*path)
        return;
    const char *folder = g_paths.BackupFolder;
    if (!PlatformFolderExists(folder)) {
        Log("Creating backup folder...");
        PlatformMakeFolder(folder, 0700);
    }

    time_t now = static_cast<time_t>(HostNow());
    struct tm date = {};
    localtime_r(&now, &date);
    const char *name = FileNamePart(path);

    FILE *in = PlatformOpenRegularFile(path);
    if (!in)
        return;  // nothing to back up yet (first run), or no regular file

    // The first free name: ...00, then ...01, ...02 and on past 99.
    int counter = 0;
    std::string target = Candidate(folder, name, date, counter);
    while (NameTaken(target))
        target = Candidate(folder, name, date, ++counter);

    // The copy is made under a temporary name and gets its backup name only
    // when it is complete, so every backup is a whole copy even when the disk
    // fills up or the program is killed while copying.
    std::string temp = std::string(folder) + kPathSeparator + TempBackupName(name);
    // Created new and readable by this user only, as the file it copies.
    PlatformRemoveFile(temp.c_str());
    FILE *out = PlatformCreateFile(temp.c_str());
    if (!out) {
        Log("Error opening %s for output", target.c_str());
        std::fclose(in);
        return;
    }

    static thread_local char block[kCopyBlock];
    long long total = 0;
    bool written = true;
    for (;;) {
        size_t got = std::fread(block, 1, sizeof block, in);
        if (got == 0)
            break;
        total += static_cast<long long>(got);
        if (std::fwrite(block, 1, got, out) != got) {
            written = false;
            break;
        }
    }
    std::fclose(in);
    if (std::fclose(out) != 0)
        written = false;
    if (!written) {
        Log("Error writing %s!", target.c_str());
        PlatformRemoveFile(temp.c_str());
        return;
    }
    // Never replaces a backup: a name taken meanwhile moves on to the next.
    int error;
    while ((error = PlatformMoveFile(temp.c_str(), target.c_str())) == EEXIST)
        target = Candidate(folder, name, date, ++counter);
    if (error != 0) {
        Log("Error writing %s!", target.c_str());
        PlatformRemoveFile(temp.c_str());
        return;
    }
    Log("Created auto-backup file %s (%lld bytes)", FileNamePart(target.c_str()), total);
    PruneBackups(name);
}

std::string TempBackupName(const char *name) {
    return std::string(".") + (name ? name : "") + ".tmp-" + std::to_string(static_cast<long>(getpid()));
}
