#include "library_symbols.h"

#include <cstdio>
#include <sstream>

std::string RunCommand(const std::string &command) {
    std::string output;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char block[4096];
        size_t n;
        while ((n = fread(block, 1, sizeof block, pipe)) > 0)
            output.append(block, n);
        pclose(pipe);
    }
    return output;
}

std::set<std::string> DynamicSymbols(const std::string &library, const char *which) {
    std::istringstream lines(RunCommand("nm -D " + std::string(which) + " '" + library + "'"));
    std::set<std::string> names;
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word, last;
        while (words >> word)
            last = word;
        if (!last.empty())
            names.insert(last.substr(0, last.find('@')));
    }
    return names;
}

std::string NeededLibraries(const std::string &library) {
    std::istringstream lines(RunCommand("readelf -d '" + library + "'"));
    std::string needed, line;
    while (std::getline(lines, line))
        if (line.find("(NEEDED)") != std::string::npos)
            needed += line + "\n";
    return needed;
}
