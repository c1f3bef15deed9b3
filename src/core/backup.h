// Automatic backups: a dated, numbered copy in the backup folder before a
// data file is overwritten.
#pragma once

#include <string>

void AutoBackup(const char *path);

// Name under which AutoBackup copies a file (".<name>.tmp-<pid>") before the
// copy is complete and gets its backup name.
std::string TempBackupName(const char *name);
