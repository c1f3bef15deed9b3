// FileFinder: lists every entry of one folder ("." and ".." included), in the
// order the file system returns them.
#pragma once

#include <dirent.h>

class FileFinder {
public:
    explicit FileFinder(const char *folder);
    ~FileFinder();
    FileFinder(const FileFinder &) = delete;
    FileFinder &operator=(const FileFinder &) = delete;

    // Copies the next entry's name into `name` (a 1024-byte buffer, cleared
    // first); false when no entry is left or the folder cannot be listed.
    bool Next(char *name);
    void Close();

private:
    char *pattern;  // folder + separator + "*"; cut to the folder on first Next
#ifdef _WIN32
    _WDIR *dir;  // names are listed as UTF-16 and handed out as UTF-8
#else
    DIR *dir;
#endif
    bool started;
};
