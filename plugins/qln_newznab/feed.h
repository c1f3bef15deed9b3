// The indexer's newest releases (t=tvsearch or t=search with the TV
// categories and no words), read once per check pass when episodes are in
// the first day of their window: how far back the answers read so far
// cover the indexer's list without a gap, so that an episode is searched on
// its own only when no feed could have shown it.
#pragma once

#include <cstdint>
#include <vector>

// Seconds since 1970 of an RSS pubDate ("Tue, 08 Dec 2026 17:00:00 +0000",
// "... GMT", "... -0500"); false when it is not one.
bool ParseRssDate(const char *text, int64_t &time);

struct FeedCoverage {
    // Every release listed from this time on was in a feed answer; 0 when
    // nothing is known (no answer yet, or the last one had no dates).
    int64_t coveredSince = 0;
    // The newest date of the last answer.
    int64_t newest = 0;
    // The oldest date of the last answer; 0 when it had none.
    int64_t lastOldest = 0;

    // Takes the item dates of a new answer (0 for an item without one; any
    // order). The coverage runs on when the answer reaches back to the last
    // one's newest item, else it starts again at the answer's oldest item.
    void Take(const std::vector<int64_t> &dates);
    // Forgets everything (a failed answer leaves a gap).
    void Lose() { *this = FeedCoverage(); }
    // True when a release listed at or after `since` would have been seen.
    bool Covers(int64_t since) const { return coveredSince != 0 && since >= coveredSince; }
};
