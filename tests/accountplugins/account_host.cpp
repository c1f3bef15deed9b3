#include "account_host.h"

#include <host_file_name.h>
#include <sandbox.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {
AccountHost *gAccountHost = nullptr;

void SleepSeconds(unsigned seconds) {
    AccountHost &host = *gAccountHost;
    host.fake.calls.push_back("SleepSeconds " + std::to_string(seconds));
    host.waits.push_back(seconds);
    for (unsigned step = 0; step < seconds; ++step) {
        if (host.shuttingDown)
            return;
        if (host.onSleepStep)
            host.onSleepStep();
        ++host.stepsSlept;
    }
}

bool IsShuttingDown() { return gAccountHost->shuttingDown; }

bool HandleNzbFile(const char *path) {
    AccountHost &host = *gAccountHost;
    host.fake.calls.push_back(std::string("HandleNzbFile ") + path);
    host.handed.push_back({path, ReadFileBytes(path)});
    return host.handleResult;
}
} // namespace

AccountHost::AccountHost(const std::string &dataFolder, const std::string &pluginsIniPath)
    : fake(dataFolder, pluginsIniPath) {
    if (gAccountHost)
        throw std::logic_error("one AccountHost at a time");
    gAccountHost = this;
    api = *fake.Api();
    api.SleepSeconds = SleepSeconds;
    api.IsShuttingDown = IsShuttingDown;
    api.MakeFileName = TestHostMakeFileName;
    api.HandleNzbFile = HandleNzbFile;
}

AccountHost::~AccountHost() { gAccountHost = nullptr; }

#ifndef _WIN32
OpenRecorder::OpenRecorder(const Sandbox &box) : record(box.File("opened.txt")) {
    std::string bin = box.File("bin/");
    std::string script = bin + "xdg-open";
    box.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + record + "'\n");
    chmod(script.c_str(), 0755);
    const char *path = std::getenv("PATH");
    oldPath = path ? path : "/usr/bin:/bin";
    setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
}

OpenRecorder::~OpenRecorder() { setenv("PATH", oldPath.c_str(), 1); }
#else
// Never made: the tests that would use it skip themselves first.
OpenRecorder::OpenRecorder(const Sandbox &box) : record(box.File("opened.txt")) {}
OpenRecorder::~OpenRecorder() = default;
#endif

std::vector<std::string> OpenRecorder::WaitForTargets(size_t count) const {
    std::vector<std::string> targets;
    for (int attempt = 0; attempt < 3000; ++attempt) {
        targets.clear();
        std::ifstream in(record);
        std::string line;
        while (std::getline(in, line))
            targets.push_back(line);
        if (targets.size() >= count)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return targets;
}
