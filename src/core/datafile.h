// Reading and writing the data files (main.conf, shows.conf, seen.conf,
// plugins.ini) with what the user must be told when that fails.
#pragma once

#include <cstdio>

// Opens a data file for binary reading. Only a regular file is read: a pipe
// or device is reported in the Log ("... is not a regular file ...") and,
// like a missing file, gives NULL with *missing set. Any other failure gives
// NULL with errno set and *missing false.
FILE *OpenDataFile(const char *path, bool *missing = nullptr);

// Writes "Error saving <path>: <reason>" to the Log for a failed save with the
// system's error number; when a pipe, device or folder has the file's name,
// the reason is "<path> is not a regular file".
void ReportSaveFailure(const char *path, int error);
