// Running the real program from outside: a sandbox laid out like a user's
// home (data folder, NZB and torrent folders, a temporary folder, a
// recording stand-in for xdg-open first on PATH), writers for the data files
// in the program's own formats, and a child process with its own
// environment, its standard output and error kept in memory.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sandbox.h"

// Plugin ids, as the four shipped plugins register them.
extern const char *const kEzRssId;
extern const char *const kGenericId;
extern const char *const kNewzbinId;
extern const char *const kNzbMatrixId;

// Plugin library names in the order the host registers them: the order in
// which the system lists the program's plugins/ folder.
std::vector<std::string> PluginLoadOrder(const std::string &program);

struct Home {
    Sandbox box;
    std::string data;      // $XDG_DATA_HOME/Quillon/
    std::string nzb;       // NZB folder
    std::string torrents;  // torrent folder
    std::string tmp;       // $TMPDIR
    std::string work;      // current folder of the program
    std::string xdgLog;    // one line per xdg-open call
    Home();
    std::string Data(const std::string &name) const { return data + name; }
    // Every file below the sandbox (relative paths, sorted), except the
    // program's own captured output.
    std::vector<std::string> AllFiles() const;
    // Names in a folder (sorted); empty when missing.
    static std::vector<std::string> List(const std::string &folder);
    // Files anywhere below a folder (paths relative to it, sorted): the
    // program's private temporary folders may stay behind, but empty.
    static std::vector<std::string> FilesBelow(const std::string &folder);
    std::vector<std::string> XdgOpenCalls() const;
};

struct ShowEntry {
    std::string name;
    std::string keywords;
    int skip = 0, pause = 0, hd = 0;
    int season = 0, episode = 0;
    int64_t nextSearch = 0;
};

// The text the program writes for these shows (and reads back the same).
std::string ShowsConfText(const std::vector<ShowEntry> &shows);
std::string MainConfText(int autoScan, int interval, int nzbExec, int torrentExec,
                         const std::string &nzbFolder, const std::string &torrentFolder);

struct PluginSetup {
    std::string address;  // every plugin's "url"
    bool ezrss = true, generic = true, newzbin = true, nzbmatrix = true;
    std::string newzbinUser = "nzbuser", newzbinPass = "secret", newzbinMode = "0";
    std::string matrixUser = "mxuser", matrixKey = "0123abcd";
};
std::string PluginsIniText(const PluginSetup &setup);

struct RunOptions {
    std::vector<std::string> args;
    uint64_t fileSizeLimit = 0;  // RLIMIT_FSIZE in bytes when > 0 (SIGXFSZ ignored)
};

class Program {
public:
    // Starts `program` in `home`. Its standard output and error go through
    // pipes (never limited by RLIMIT_FSIZE) and are kept here.
    Program(const Home &home, const std::string &program, const RunOptions &options = {});
    ~Program();  // kills the process if it still runs
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    pid_t Pid() const { return pid; }
    void Signal(int signal);
    // Exit code, -signal when killed; -1000 when it had not ended after
    // `seconds` (it is then killed).
    int Wait(double seconds = 60);
    bool Running();
    // True once the program holds its single-instance lock (gives up after
    // `seconds` or when the process ends).
    bool WaitForInstanceLock(double seconds = 60);
    std::string Out() const;
    std::string Err() const;

private:
    const Home &home;
    pid_t pid = -1;
    bool reaped = false;
    int status = 0;
    mutable std::mutex outputLock;
    std::string out, err;
    std::thread reader;
};

// Polls `done` every 20 ms until it holds or `seconds` have passed: a hang
// guard, never a timing assertion.
bool WaitUntil(const std::function<bool()> &done, double seconds = 60);

std::string ReadAll(const std::string &path);
void WriteAll(const std::string &path, const std::string &content);
bool Exists(const std::string &path);
// Lines of a captured output that contain `text`.
std::vector<std::string> LinesWith(const std::string &output, const std::string &text);
