// FileFinder over opendir/readdir.
#include "vorlo/folder.h"

#include "vorlo/memleak.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

FileFinder::FileFinder(const char *folder) : pattern(nullptr), dir(nullptr), started(false) {
    if (!folder)
        folder = "";
    size_t length = strlen(folder);
#ifdef _WIN32
    bool separated = length > 0 && (folder[length - 1] == '/' || folder[length - 1] == '\\');
#else
    bool separated = length > 0 && folder[length - 1] == '/';
#endif
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
#ifdef _WIN32
        char *backslash = strrchr(pattern, '\\');
        if (backslash && (!slash || backslash > slash))
            slash = backslash;
#endif
        if (slash)
            slash[1] = '\0';
#ifdef _WIN32
        wchar_t wide[1024];
        if (MultiByteToWideChar(CP_UTF8, 0, pattern, -1, wide, 1024) > 0)
            dir = _wopendir(wide);
#else
        dir = opendir(pattern);
#endif
    }
    if (!dir)
        return false;
#ifdef _WIN32
    struct _wdirent *entry = _wreaddir(dir);
    if (!entry)
        return false;
    // A name longer than the buffer converts to nothing and is returned empty.
    WideCharToMultiByte(CP_UTF8, 0, entry->d_name, -1, name, 1023, nullptr, nullptr);
#else
    struct dirent *entry = readdir(dir);
    if (!entry)
        return false;
    strncpy(name, entry->d_name, 1023);
#endif
    return true;
}

void FileFinder::Close() {
    if (dir) {
#ifdef _WIN32
        _wclosedir(dir);
#else
        closedir(dir);
#endif
        dir = nullptr;
    }
    if (pattern) {
        ZFREE(pattern);
        pattern = nullptr;
    }
}
