// The service table the host hands to every plugin (QLN_HOST_API with its
// libcurl and allocation-tracker tables), and the guarded libcurl entry
// points that the host's own downloads use as well.
//
// Every transfer handle made here accepts only http and https, for the first
// request and for redirects, and carries a transfer guard: a progress
// callback that aborts the transfer once the host is shutting down (kept
// active whatever progress options a plugin sets), and a low-speed limit that
// fails a transfer which receives nothing for 300 seconds.
#pragma once

#include <cstdint>

#include "quillon/plugin.h"

// The one table, static data valid until the process ends.
const QLN_HOST_API *GetHostApi();
const QLN_CURL_API *GetHostCurlApi();
const QLN_MEM_API *GetHostMemApi();

// Whether the table holds entry `index` (the probe QLN_HostHasEntry asks).
bool HostHasEntryAt(int index);

// The table's entries that have no home in another module.
void HostSleepSeconds(unsigned seconds);
// Benchmarks on the injected clock: replaces the sleep (nullptr restores it).
void SetHostSleepForTesting(void (*sleep)(unsigned seconds));
void HostMakeFileName(char *name, const char *extension);
bool HostIsShuttingDown();

// Guarded libcurl entry points (the QLN_CURL_API entries).
CURL *HostCurlEasyInit();
CURLcode HostCurlEasySetopt(CURL *handle, CURLoption option, ...);
CURLcode HostCurlEasyPerform(CURL *handle);
void HostCurlEasyCleanup(CURL *handle);

// Seconds a transfer may receive nothing before libcurl fails it.
constexpr long kTransferStallSeconds = 300;
// Tests: a shorter stall limit (<= 0 restores 300 s).
void SetTransferStallSecondsForTesting(long seconds);
