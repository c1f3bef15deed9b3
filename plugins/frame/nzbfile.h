// The temporary NZB files of the plugins that fetch NZB files themselves:
// their names and their creation inside this process's private temporary
// folder, where no other user can read them or plant a file in their place.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Name of the temporary NZB file of release `id`: "<id>_<title>.nzb" made
// safe by the host's MakeFileName, or "<fallbackPrefix>_<id>.nzb" when the
// title is null or empty.
std::string NzbFileName(const char *fallbackPrefix, uint64_t id, const char *title);

// Creates the file `name` in this process's private temporary folder for
// binary writing, readable by this user only, replacing an earlier file of
// that name left there by this process. `path` receives the full path (or
// the bare name when the folder is not available). Null when the file
// cannot be created; the caller reports it with `path`.
FILE *CreateTempFile(const std::string &name, std::string &path);

// A file closed on every way out of the scope that holds it.
struct FileCloser {
    void operator()(FILE *file) const { std::fclose(file); }
};
using FileGuard = std::unique_ptr<FILE, FileCloser>;
