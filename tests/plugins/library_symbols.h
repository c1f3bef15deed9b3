// What a built plugin library exports, imports and needs, read with the
// binutils tools the way a packager would check it (on Windows, read from the
// DLL's own export and import tables).
#pragma once

#include <set>
#include <string>

// Everything the shell command writes to standard output.
std::string RunCommand(const std::string &command);

// Names of the dynamic symbols `nm -D` lists with the given option
// ("--defined-only" or "--undefined-only"), without version suffixes.
// (Windows: the exported names, or the names imported from other DLLs.)
std::set<std::string> DynamicSymbols(const std::string &library, const char *which);

// The libraries the library needs at load time, one a line (the NEEDED
// entries of `readelf -d`; on Windows, the DLLs it imports from).
std::string NeededLibraries(const std::string &library);
