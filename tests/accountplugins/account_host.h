// AccountHost: the FakeHost table with the entries that the account-based
// plugins add: SleepSeconds records each requested wait and "sleeps" in
// one-second steps without real time passing, returning early once the host
// is shutting down (a hook may start the shutdown during a wait);
// MakeFileName follows the host's rules; HandleNzbFile records the path and
// the bytes of each file handed over. Also the xdg-open stand-in that
// records the targets a plugin opens.
#pragma once

#include "fake_host.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class AccountHost {
public:
    AccountHost(const std::string &dataFolder, const std::string &pluginsIniPath);
    ~AccountHost();
    AccountHost(const AccountHost &) = delete;
    AccountHost &operator=(const AccountHost &) = delete;

    const QLN_HOST_API *Api() const { return &api; }

    // Calls, log lines, seen list and curl options; SleepSeconds adds
    // "SleepSeconds <n>" and HandleNzbFile "HandleNzbFile <path>" to calls.
    FakeHost fake;
    std::vector<unsigned> waits;   // every SleepSeconds request, in order
    unsigned stepsSlept = 0;       // one-second steps actually waited
    bool shuttingDown = false;
    // Called before each one-second step of a wait.
    std::function<void()> onSleepStep;

    struct HandedFile {
        std::string path;
        std::string content;
    };
    std::vector<HandedFile> handed;
    bool handleResult = true;

private:
    QLN_HOST_API api{};
};

// Puts an executable "xdg-open" first on PATH that appends its argument to a
// file; the previous PATH comes back when the recorder is destroyed.
// Windows has no such stand-in (under Wine, ShellExecuteW of a web link
// starts the host's browser through winebrowser): a test that opens links
// skips itself there with SKIP_WITHOUT_OPEN_RECORDER before anything opens.
#ifdef _WIN32
#define SKIP_WITHOUT_OPEN_RECORDER() GTEST_SKIP() << "opening links cannot be recorded here"
#else
#define SKIP_WITHOUT_OPEN_RECORDER() (void)0
#endif
class Sandbox;

class OpenRecorder {
public:
    explicit OpenRecorder(const Sandbox &box);
    ~OpenRecorder();
    OpenRecorder(const OpenRecorder &) = delete;
    OpenRecorder &operator=(const OpenRecorder &) = delete;

    // Waits (up to a generous limit, for the detached opener to run) until
    // `count` targets have been recorded, and returns the targets recorded.
    std::vector<std::string> WaitForTargets(size_t count) const;

private:
    std::string record;
    std::string oldPath;
};
