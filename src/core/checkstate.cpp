#include "checkstate.h"

#include "searchwindow.h"

#include <string>
#include <vector>

Mutex CheckLock("CheckLock");

std::atomic<bool> checkNow{false};
std::atomic<bool> checking{false};
std::atomic<bool> abortCheck{false};
std::atomic<bool> shuttingDown{false};
std::atomic<int64_t> lastCheckEnd{0};
std::atomic<bool> savePending{false};

int64_t NextPassDue(int64_t end, int64_t interval) {
    if (interval > 0 && end > INT64_MAX - interval)
        return INT64_MAX;
    if (interval < 0 && end < INT64_MIN - interval)
        return INT64_MIN;
    return end + interval;
}

namespace {
// Copies, so that the texts outlive whatever argv the caller passed.
std::vector<std::string> g_args;
Mutex g_argsLock("HostArgs");
}  // namespace

void ResetCheckState() {
    MutexHold hold(CheckLock);
    checkNow = false;
    checking = false;
    abortCheck = false;
    shuttingDown = false;
    lastCheckEnd = 0;
    savePending = false;
    ForgetSearchWindows();
}

void SetHostArgs(int argc, char **argv) {
    MutexHold hold(g_argsLock);
    g_args.clear();
    for (int i = 0; argv && i < argc; i++)
        g_args.emplace_back(argv[i] ? argv[i] : "");
}

int HostArgCount() {
    MutexHold hold(g_argsLock);
    return static_cast<int>(g_args.size());
}

const char *HostArg(int index) {
    MutexHold hold(g_argsLock);
    if (index < 0 || index >= static_cast<int>(g_args.size()))
        return nullptr;
    return g_args[static_cast<size_t>(index)].c_str();
}
