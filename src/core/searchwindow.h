// When a linked show's awaited episode is searched: not before it can
// exist (its air time + runtime + the show's own offset: its window), at
// every pass through the indexers' newest-releases feeds for the first day
// of the window, then every RetryHours until DailyRetryAfterDays, then
// daily. An episode without an air date is not searched. Unlinked shows
// never come here.
//
// The back-off state lives in memory, per linked show: after a restart the
// first pass searches once more, and a clock that jumps back or forth costs
// at most one search per show.
#pragma once

#include <cstdint>
#include <string>

#include "quillon/plugin.h"

struct TvSchedule;
struct TvEpisode;

constexpr int64_t kFirstDaySeconds = 24 * 60 * 60;
// Runtime assumed when TVmaze gives none.
constexpr int kDefaultRuntimeMinutes = 60;

// The back-off steps (main.conf "RetryHours" and "DailyRetryAfterDays").
struct WindowRules {
    int64_t retrySeconds = 6 * 60 * 60;
    int64_t dailyAfterSeconds = 14 * 24 * 60 * 60;
};

// When the episode can first exist: air time + runtime (or 60 minutes) +
// offset (minutes, negative for web releases that come early).
int64_t WindowStart(int64_t airstamp, int runtimeMinutes, int offsetMinutes);

enum class WindowPhase {
    NoDate,    // no air date yet: not searched
    NotYet,    // before the window: not searched
    FirstDay,  // the window's first 24 hours: every pass, through the feeds
    BackOff,   // later: every retrySeconds, daily after dailyAfterSeconds
};

struct SearchPlan {
    WindowPhase phase = WindowPhase::NoDate;
    bool search = false;     // ask the plugins in this pass
    int64_t windowStart = 0; // valid unless phase is NoDate
    int64_t nextSearch = 0;  // when it is searched next without Scan Now; 0: not known (no date)
};

// The plan for show `show` (linked as TVmaze show `tvmazeId`) awaiting
// `episode` of `schedule` at `now`. `scanNow` skips the back-off (never the
// window). Writes a Log line when the episode's air time moved or its date
// went away since the last plan.
SearchPlan PlanSearch(const Show *show, int32_t tvmazeId, const TvSchedule &schedule, const TvEpisode &episode,
                      int airOffsetMinutes, bool scanNow, int64_t now, const WindowRules &rules);

// The plugins were asked for the show's episode at `now`.
void NoteSearched(int32_t tvmazeId, int season, int episode, int64_t now);

// Forgets every show's back-off (tests; a changed data folder).
void ForgetSearchWindows();

// The rules main.conf gives.
WindowRules CurrentWindowRules();

// The search of the check cycle that runs now, for the host entry
// GetSearchPass: which pass it belongs to and, for a linked show's episode
// in its first day, its window. Set around each plugin call.
struct PassSearch {
    const Show *show = nullptr;
    int season = 0, episode = 0;
    bool firstDay = false;
    int64_t windowStart = 0;
};
void BeginPassSearch(const PassSearch &search);
void EndPassSearch();
// Starts a new pass number (each check pass has its own).
void NextPassNumber();
// Benchmarks: false makes the entry never tell a first day, so plugins
// search each such episode on its own at every pass.
void SetFeedSearchesForTesting(bool on);
// The host entry: fills `pass` up to its Size.
bool HostGetSearchPass(const Show *show, int season, int episode, QLN_SEARCH_PASS *pass);
