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
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "clock.h"
#include "frontend.h"
#include "log.h"
#include "sandbox.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"
#include "vorlo/platform.h"

#ifdef _WIN32
// The few POSIX calls the suites use, over their msvcrt counterparts.
inline int setenv(const char *name, const char *value, int) { return _putenv_s(name, value); }
inline int unsetenv(const char *name) { return _putenv_s(name, ""); }
inline time_t timegm(struct tm *t) { return _mkgmtime(t); }
#endif

// `path` with its '/' separators as the host builds paths on this system.
inline std::string Native(std::string path) {
    for (char &c : path)
        if (c == '/')
            c = kPathSeparator;
    return path;
}

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
// would (SIGXFSZ ignored, so writes fail with EFBIG instead). Windows has no
// such limit: tests that need one start with SKIP_WITHOUT_FILE_SIZE_LIMIT().
#ifdef _WIN32
#define SKIP_WITHOUT_FILE_SIZE_LIMIT() GTEST_SKIP() << "Windows has no per-process file-size limit"
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long) {}
};
#else
#define SKIP_WITHOUT_FILE_SIZE_LIMIT() static_cast<void>(0)
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
#endif
