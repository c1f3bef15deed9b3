// FileFinder over opendir/readdir.
#include "vorlo/folder.h"

#include "vorlo/memleak.h"

#include <cstring>

FileFinder::FileFinder(const char *folder) : pattern(nullptr), dir(nullptr), started(false) {
    if (!folder)
        folder = "";
    size_t length = strlen(folder);
    bool separated = length > 0 && folder[length - 1] == '/';
    // An empty folder name means the current folder.
    pattern = length == 0 ? ZSTRDUP("./*") : zformat("%s%s*", folder, separated ? "" : "/");
}

FileFinder::~FileFinder() { Close(); }

bool FileFinder::Next(char *name) {
    if (name)
        memset(name, 0, 1024);
    if (!pattern || !name)
        return false;
    if (!started) {
        started = true;
        // The pattern becomes the folder path with its separator.
        char *slash = strrchr(pattern, '/');
        if (slash)
            slash[1] = '\0';
        dir = opendir(pattern);
    }
    if (!dir)
        return false;
    struct dirent *entry = readdir(dir);
    if (!entry)
        return false;
    strncpy(name, entry->d_name, 1023);
    return true;
}

void FileFinder::Close() {
    if (dir) {
        closedir(dir);
        dir = nullptr;
    }
    if (pattern) {
        ZFREE(pattern);
        pattern = nullptr;
    }
}
