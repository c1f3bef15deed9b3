// The host's clock: seconds since 1970-01-01 UTC. Tests replace it.
#pragma once

#include <cstdint>

int64_t HostNow();
// nullptr restores the real clock.
void SetHostClockForTesting(int64_t (*clock)());
