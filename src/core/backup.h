// Automatic backups: a dated, numbered copy in the backup folder before a
// data file is overwritten.
#pragma once

#include <string>

#include <cstdint>

// Automatic backups older than this (30 days) are removed, except the newest
// backup of each file.
constexpr int64_t kBackupKeepSeconds = 30 * 86400;

// Copies the file into the backup folder, then prunes that file's backups.
void AutoBackup(const char *path);
// Removes the backups of the file called `name` (without folder) that are
// older than kBackupKeepSeconds, keeping the newest one in any case.
void PruneBackups(const char *name);

// Name under which AutoBackup copies a file (".<name>.tmp-<pid>") before the
// copy is complete and gets its backup name.
std::string TempBackupName(const char *name);
