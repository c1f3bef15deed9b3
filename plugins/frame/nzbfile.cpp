// Temporary NZB file names and their creation in the private temporary folder.
#include "nzbfile.h"

#include "frame.h"

#include <vorlo/platform.h>

#include <cinttypes>
#include <cstring>
#include <vector>

std::string NzbFileName(const char *fallbackPrefix, uint64_t id, const char *title) {
    if (!title || !*title) {
        char name[96];
        std::snprintf(name, sizeof name, "%s_%" PRIu64 ".nzb", fallbackPrefix, id);
        return name;
    }
    // Room for the id, "_", the title, the extension and the terminator.
    std::vector<char> name(std::strlen(title) + 32);
    std::snprintf(name.data(), name.size(), "%" PRIu64 "_%s", id, title);
    FrameHost()->MakeFileName(name.data(), ".nzb");
    return name.data();
}

FILE *CreateTempFile(const std::string &name, std::string &path) {
    char folder[4096];
    if (!PlatformPrivateTempFolder(folder, sizeof folder)) {
        path = name;
        return nullptr;
    }
    path = folder + name;
    // The folder is this process's own (0700), so a file of this name can
    // only be one that an earlier search of this run left behind.
    std::remove(path.c_str());
    return PlatformCreateFile(path.c_str());
}
