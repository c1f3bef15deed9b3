#include "datafile.h"

#include <cerrno>
#include <cstring>

#include "log.h"
#include "vorlo/platform.h"

FILE *OpenDataFile(const char *path, bool *missing) {
    bool unused;
    if (!missing)
        missing = &unused;
    bool notRegular = false;
    FILE *in = PlatformOpenRegularFile(path, &notRegular);
    *missing = !in && (notRegular || errno == ENOENT || errno == ENOTDIR);
    if (notRegular)
        Log("%s is not a regular file; it is ignored.", path);
    return in;
}

void ReportSaveFailure(const char *path, int error) {
    // A pipe, device or folder under the file's name is never replaced; the
    // system's error number for that ("Invalid argument") hides the cause.
    bool notRegular = false;
    if (FILE *in = PlatformOpenRegularFile(path, &notRegular))
        std::fclose(in);
    if (notRegular)
        Log("Error saving %s: %s is not a regular file", path, path);
    else
        Log("Error saving %s: %s", path, std::strerror(error));
}
