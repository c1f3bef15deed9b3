// What the plugin remembers about each indexer across restarts: a pause the
// indexer asked for, the times of the requests and downloads of the last 24
// hours, and the indexer's own counts from its last answer. Kept in the data
// folder as "newznab.state" (0600, replaced whole on every change); it never
// holds an address or a key.
#pragma once

#include "settings.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int64_t kBudgetWindowSeconds = 24 * 60 * 60;
// The indexer's own counts are trusted for this long after its answer, unless
// the answer says when its oldest counted request leaves its 24-hour window.
constexpr int64_t kRemoteCountsSeconds = 60 * 60;

// The indexer's counts from newznab:apilimits; -1 where not given.
struct RemoteLimits {
    int64_t at = 0;  // when they were read; 0 = never
    int apiCurrent = -1, apiMax = -1, grabCurrent = -1, grabMax = -1;
    // Requests and downloads sent since the answer that gave them.
    int apiSince = 0, grabsSince = 0;
    // apioldesttime / graboldesttime: the oldest request (download) the
    // indexer still counts; 0 when not given.
    int64_t apiOldest = 0, grabOldest = 0;
};

struct IndexerState {
    int64_t pausedUntil = 0;
    std::vector<int64_t> api;    // request times (s since 1970), oldest first
    std::vector<int64_t> grabs;  // download times
    RemoteLimits remote;
};

enum class Budget { Api, Grabs };

// Forgets request times older than 24 hours.
void PruneState(IndexerState &state, int64_t now);
// Counts one request (or download) sent at `now`.
void CountRequest(IndexerState &state, Budget kind, int64_t now);
// 0 when a request of that kind may go out now; otherwise the time at which
// the budget (the user's daily limit, or the indexer's own counts) frees up.
int64_t BudgetBlockedUntil(const IndexerState &state, Budget kind, int daily, int64_t now);

std::string StateText(const IndexerState (&rows)[kIndexerRows]);
void ParseStateText(const std::string &text, IndexerState (&rows)[kIndexerRows]);
// Reads the file (missing = empty state).
void LoadState(const std::string &path, IndexerState (&rows)[kIndexerRows]);
// Writes the file atomically, created readable by this user only.
bool SaveState(const std::string &path, const IndexerState (&rows)[kIndexerRows]);
