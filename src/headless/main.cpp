// quillon-headless: runs the host without a window. It goes through the
// program's start-up, loads the plugins from bin/plugins/ and the data
// folder's plugins/, runs the check thread, and leaves through the normal exit
// sequence (main.conf written, plugins shut down and unloaded). Every Log and
// Downloads line, status text and notification is echoed to standard output.
//
// Usage: quillon-headless [--data FOLDER] [--scan-now] [--passes N]
//   --data FOLDER  use FOLDER as the data folder instead of
//                  $XDG_DATA_HOME/Quillon/ (main.conf, shows.conf, seen.conf,
//                  plugins.ini and plugins/ live there)
//   --scan-now     ask for a pass at once, as the Scan Now command does (the
//                  same when the environment holds QUILLON_SCAN_NOW=1); the
//                  pass starts as soon as a plugin is enabled
//   --passes N     exit after N passes have ended (0, the default: run on)
// The program also exits on SIGTERM, SIGINT or SIGHUP (on Windows: Ctrl+C,
// Ctrl+Break, closing the console, log-off or shut-down). Exit code 0, or the
// start-up failure's code (0 when another copy runs, 1 when libcurl fails).
#include <atomic>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "checkcycle.h"
#include "frontend.h"
#include "host.h"
#include "lifecycle.h"
#include "log.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

// The signal may arrive on any thread (the check thread too), so the flag is
// a lock-free atomic rather than a volatile sig_atomic_t, which is only safe
// for a handler on the reading thread.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set in a signal handler");

#ifdef _WIN32
// Runs on a thread of its own. For a console close, log-off or shut-down the
// system ends the process once the handler returns, so it waits until the
// normal exit sequence has run (the system allows a few seconds).
std::atomic<bool> exitDone{false};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    stopRequested = true;
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        while (!exitDone)
            Sleep(50);
    }
    return TRUE;
}
#else
void OnSignal(int) { stopRequested = true; }
#endif

#ifdef _WIN32
// The C runtime hands main its arguments in the system's code page, which
// cannot hold every file name (a --data folder named in another script came
// through as '?'). They are read again from the UTF-16 command line and kept
// as UTF-8, the host's own encoding. Empty when that fails.
std::vector<std::string> Utf8Arguments() {
    std::vector<std::string> args;
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return args;
    for (int i = 0; i < count; ++i) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        if (size <= 0) {
            args.clear();
            break;
        }
        std::string arg(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
        arg.resize(static_cast<size_t>(size - 1));
        args.push_back(std::move(arg));
    }
    LocalFree(wide);
    return args;
}
#endif

int Usage() {
    std::fprintf(stderr, "usage: quillon-headless [--data FOLDER] [--scan-now] [--passes N]\n");
    return 2;
}

}  // namespace

// Sanitizer builds: LeakSanitizer's exit-time scan of thread-local storage
// crashes ("Tracer caught signal 11") once the plugins, and the Qt libraries
// that the account plugins' dialogs pull into this Qt-free program, have been
// unloaded; so it leaves TLS out here. Only read by the sanitizer runtime.
extern "C" const char *__lsan_default_options() { return "use_tls=0"; }

int main(int argc, char **argv) {
    std::setlocale(LC_ALL, "");
#ifdef _WIN32
    std::vector<std::string> utf8Args = Utf8Arguments();
    std::vector<char *> utf8Argv;
    for (std::string &arg : utf8Args)
        utf8Argv.push_back(arg.data());
    utf8Argv.push_back(nullptr);
    if (!utf8Args.empty()) {
        argc = static_cast<int>(utf8Args.size());
        argv = utf8Argv.data();
    }
#endif
    const char *dataFolder = nullptr;
    bool scanNow = false;
    long passes = 0;
    const char *env = std::getenv("QUILLON_SCAN_NOW");
    if (env && std::strcmp(env, "1") == 0)
        scanNow = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc) {
            dataFolder = argv[++i];
        } else if (std::strcmp(argv[i], "--scan-now") == 0) {
            scanNow = true;
        } else if (std::strcmp(argv[i], "--passes") == 0 && i + 1 < argc) {
            char *end = nullptr;
            passes = std::strtol(argv[++i], &end, 10);
            if (!end || *end || passes < 0)
                return Usage();
        } else {
            return Usage();
        }
    }
    std::string folder;
    if (dataFolder) {
        folder = dataFolder;
#ifdef _WIN32
        if (folder.empty() || (folder.back() != '/' && folder.back() != '\\'))
            folder += '\\';
#else
        if (folder.empty() || folder.back() != '/')
            folder += '/';
#endif
    }

#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
#endif

    RecordingFrontEnd frontEnd;
    frontEnd.SetEcho(true);
    SetFrontEnd(&frontEnd);

    int code = StartupBeforeWindow(argc, argv, dataFolder ? folder.c_str() : nullptr);
    if (code >= 0) {
        SetFrontEnd(nullptr);
        return code;
    }
    SetStatus(L"Starting up...");
    HostAfterWindow();
    if (scanNow)
        RequestScanNow();

    while (!stopRequested && (passes == 0 || CompletedPasses() < passes))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    code = HostExit(nullptr, nullptr);
    std::fflush(stdout);
    SetFrontEnd(nullptr);
#ifdef _WIN32
    exitDone = true;
#endif
    return code;
}
