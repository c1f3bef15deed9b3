// The common frame of the host-core tests: a private data folder, a recording
// front end, a controllable clock in UTC, and empty lists before and after.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/resource.h>

#include "clock.h"
#include "frontend.h"
#include "log.h"
#include "sandbox.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"

inline std::atomic<int64_t> &FakeNow() {
    static std::atomic<int64_t> now{0};
    return now;
}
inline int64_t FakeClock() { return FakeNow().load(); }

// Seconds since 1970 for a UTC date and time.
inline int64_t Utc(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
    struct tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return static_cast<int64_t>(timegm(&t));
}

class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        FakeNow() = Utc(2026, 12, 6);
        SetHostClockForTesting(FakeClock);
        SetHostPaths(box.Path().c_str());
        SetDefaultSettings();
        SetFrontEnd(&front);
        ClearLogEntries();
        ClearShows();
        MutexHold hold(SeenListLock);
        SeenList.clear();
    }
    void TearDown() override {
        ClearShows();
        {
            MutexHold hold(SeenListLock);
            SeenList.clear();
        }
        SetFrontEnd(nullptr);
        SetHostClockForTesting(nullptr);
        ClearLogEntries();
    }

    // The Log entries without their "[stamp] " prefix.
    std::vector<std::string> LogTexts(LogTarget list = LogTarget::Log) const {
        std::vector<std::string> out;
        for (const std::wstring &line : front.AllLines(list)) {
            size_t close = line.find(L"] ");
            std::wstring rest = close == std::wstring::npos ? line : line.substr(close + 2);
            out.emplace_back(rest.begin(), rest.end());
        }
        return out;
    }

    Sandbox box;
    RecordingFrontEnd front;
};

// Lets writes grow files only up to `bytes` while it lives, as a full disk
// would (SIGXFSZ ignored, so writes fail with EFBIG instead).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit now = old;
        now.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &now);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }

private:
    struct rlimit old;
    void (*oldHandler)(int);
};
