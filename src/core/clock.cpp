#include "clock.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<int64_t (*)()> g_clock{nullptr};
}

int64_t HostNow() {
    int64_t (*clock)() = g_clock.load();
    if (clock)
        return clock();
    return static_cast<int64_t>(time(nullptr));
}

void SetHostClockForTesting(int64_t (*clock)()) { g_clock.store(clock); }
