// Runs quillon-headless with arguments as a child process and reads its
// standard output line by line (child_posix.cpp, child_win32.cpp).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class HeadlessChild {
public:
    explicit HeadlessChild(const std::vector<std::string> &args);
    ~HeadlessChild();
    HeadlessChild(const HeadlessChild &) = delete;
    HeadlessChild &operator=(const HeadlessChild &) = delete;

    bool Started() const;
    // Reads lines (appended to *all) until one contains `text`; false when
    // the output ends first.
    bool ReadUntil(const std::string &text, std::string *all) {
        char line[4096];
        while (out && std::fgets(line, sizeof line, out)) {
            *all += line;
            if (std::string(line).find(text) != std::string::npos)
                return true;
        }
        return false;
    }
    // Reads the rest of the output, to its end.
    std::string ReadRest() {
        std::string rest;
        char line[4096];
        while (out && std::fgets(line, sizeof line, out))
            rest += line;
        return rest;
    }
    // Asks the program to stop the way the system asks a console program:
    // SIGTERM, on Windows Ctrl+C on its own console. False when the request
    // could not be sent.
    bool Stop();
    // Waits for the program to end: its exit code, or -1 when it did not
    // end through exit (killed by a signal, not started).
    int Wait();

private:
    struct Process;
    Process *process;
    FILE *out = nullptr;  // the child's standard output
};
