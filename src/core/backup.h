// Automatic backups: a dated, numbered copy in the backup folder before a
// data file is overwritten.
#pragma once

void AutoBackup(const char *path);
