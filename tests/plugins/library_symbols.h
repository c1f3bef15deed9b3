// What a built plugin library exports, imports and needs, read with the
// binutils tools the way a packager would check it.
#pragma once

#include <set>
#include <string>

// Everything the shell command writes to standard output.
std::string RunCommand(const std::string &command);

// Names of the dynamic symbols `nm -D` lists with the given option
// ("--defined-only" or "--undefined-only"), without version suffixes.
std::set<std::string> DynamicSymbols(const std::string &library, const char *which);
