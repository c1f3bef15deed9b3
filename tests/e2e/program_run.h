// Running the real program from outside: a sandbox laid out like a user's
// home (data folder, NZB and torrent folders, a temporary folder, a
// recording stand-in for the desktop's "open" handler), writers for the data
// files in the program's own formats, and a child process with its own
// environment, its standard output and error kept in memory.
//
// The process side lives in program_run_posix.cpp (fork/exec, signals, a
// recording xdg-open first on PATH) and program_run_win32.cpp
// (CreateProcessW, Ctrl+C through the child's own console, the recorder
// registered as the handler ShellExecuteW starts).
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
// The plugin library's file name ending: ".dll" on Windows, ".so" elsewhere.
extern const char *const kPluginSuffix;
// "qln_<name>" with kPluginSuffix.
std::string PluginFile(const std::string &name);

struct Home {
    Sandbox box;
    std::string data;      // $XDG_DATA_HOME/Quillon/ (Windows: given with --data)
    std::string nzb;       // NZB folder
    std::string torrents;  // torrent folder
    std::string tmp;       // $TMPDIR (Windows: %TMP% and %TEMP%)
    std::string work;      // current folder of the program
    std::string xdgLog;    // one line per "open with the associated program"
    // Everything below the sandbox, or below its folder `inner` when given
    // (a name with spaces or characters beyond ASCII, say).
    explicit Home(const std::string &inner = "");
    std::string Data(const std::string &name) const { return data + name; }
    // A path below the sandbox; '/' in `relative` becomes the platform's separator.
    std::string Below(const std::string &relative) const;
    // Every file below the sandbox (relative paths with '/', sorted), except
    // the program's own captured output and the open recorder's files.
    std::vector<std::string> AllFiles() const;
    // Names in a folder (sorted); empty when missing.
    static std::vector<std::string> List(const std::string &folder);
    // Every file below a folder, at any depth (relative paths with '/');
    // folders are not listed. The temporary folder keeps an empty per-user folder.
    static std::vector<std::string> FilesBelow(const std::string &folder);
    // The targets handed to the desktop's "open" handler, in order.
    std::vector<std::string> XdgOpenCalls() const;

private:
    // Puts the recording stand-in where the program's PlatformOpen finds it.
    void InstallOpenRecorder();
    std::string root;  // `inner` with '/', or ""
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
    uint64_t fileSizeLimit = 0;  // RLIMIT_FSIZE in bytes when > 0 (SIGXFSZ left at its default; POSIX only)
};

// What Program::Wait returns for a process Kill() ended: -SIGKILL, on
// Windows the exit code TerminateProcess gives it.
extern const int kKilledExit;

class Program {
public:
    // Starts `program` in `home`. Its standard output and error go through
    // pipes (never limited by RLIMIT_FSIZE) and are kept here. On Windows the
    // data folder is the roaming application data folder, which no
    // environment variable moves, so the program is given "--data <data>"
    // ahead of `options.args`; it runs in a console of its own without a
    // window, so that Stop() can reach it alone.
    Program(const Home &home, const std::string &program, const RunOptions &options = {});
    ~Program();  // kills the process if it still runs
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    pid_t Pid() const { return pid; }
#ifndef _WIN32
    void Signal(int signal);
#endif
    // Asks the program to end the way a user's session does: SIGTERM, on
    // Windows Ctrl+C in its console.
    void Stop();
    // Ends the process at once (SIGKILL, TerminateProcess with kKilledExit).
    void Kill();
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
    void Append(bool toErr, const char *data, size_t size);

    const Home &home;
    pid_t pid = -1;
    bool reaped = false;
    int status = 0;
    void *process = nullptr;  // Windows: the process handle
    mutable std::mutex outputLock;
    std::string out, err;
    std::thread reader, errReader;
};

// Polls `done` every 20 ms until it holds or `seconds` have passed: a hang
// guard, never a timing assertion.
bool WaitUntil(const std::function<bool()> &done, double seconds = 60);

// The size and modification time of a file ("" when missing), read without
// opening it. Tests watch this while the program runs, and read the file
// only once it changed: Wine refuses to replace a file that any process
// holds open, so a test reading a data file in a loop would make the
// program's save of it fail.
std::string FileStamp(const std::string &path);
// The whole file ("" when it cannot be read), never keeping the program
// from replacing or removing it meanwhile.
std::string ReadAll(const std::string &path);
void WriteAll(const std::string &path, const std::string &content);
bool Exists(const std::string &path);
// Lines of a captured output that contain `text`.
std::vector<std::string> LinesWith(const std::string &output, const std::string &text);
