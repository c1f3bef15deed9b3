// Show information from TVmaze: the search behind the show editor's Find,
// each linked show's schedule (its episodes in airing order, its akas and
// ids), kept in the data folder as schedule/<TvmazeId>.json, and the worker
// thread that fetches them, so that no lookup runs on the window's thread or
// holds up a pass.
//
// TVmaze is asked through the host's guarded libcurl (so Stop Scan and exit
// end a transfer at once), TLS verified, with the User-Agent "Quillon/<version>",
// 10 seconds per request, at most 2 requests a second, Retry-After (else a
// doubling wait from 2 to 60 seconds) on HTTP 429, and answers over 8 MiB
// refused. The base address is main.conf's TvmazeUrl.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TvShowInfo {
    int32_t id = 0;
    std::string name;
    std::string status;      // "Running", "Ended", "To Be Determined", ...
    int premieredYear = 0;   // 0 when unknown
    std::string channel;     // the network's or web channel's name
    std::string country;     // its country code ("US", "GB"), or empty
    int32_t tvdbId = 0, tvrageId = 0;
    std::string imdbId;      // "tt..." or empty
    int runtime = 0;         // minutes, 0 when unknown
    std::vector<std::string> akas;
};

struct TvEpisode {
    int season = 0;
    int number = 0;
    int64_t airstamp = 0;    // UTC seconds; valid when hasAirstamp
    bool hasAirstamp = false;
};

// A linked show's schedule: regular episodes only (specials are never
// awaited), in airing order.
struct TvSchedule {
    TvShowInfo show;
    std::vector<TvEpisode> episodes;
    int64_t fetched = 0;     // host clock at the fetch
    bool Ended() const { return show.status == "Ended"; }
};

struct TvSearchHit {
    TvShowInfo show;
    double score = 0;
};

// --- Answers -------------------------------------------------------------
// Each is tolerant: every field is optional, a missing or odd one is left at
// its default. False only when the text is not JSON of the expected shape.

bool ParseTvSearch(const std::string &body, std::vector<TvSearchHit> &hits);
// A /shows/<id>?embed=episodes answer and (may be empty) its /akas answer.
bool ParseTvSchedule(const std::string &showBody, const std::string &akasBody, TvSchedule &out);
// /updates/shows: show id -> its last change (UTC seconds).
bool ParseTvUpdates(const std::string &body, std::vector<std::pair<int32_t, int64_t>> &out);

// --- Requests ------------------------------------------------------------

struct TvAnswer {
    long status = 0;         // HTTP status; 0 when no answer came
    std::string body;
    std::string error;       // why there is no usable answer, for the Log
    bool stopped = false;    // Stop Scan or exit ended it
};

// One GET of `pathAndQuery` ("/search/shows?q=...") below the base address,
// with the manners above. Blocks: never call it on the window's thread.
TvAnswer TvmazeGet(const std::string &pathAndQuery);

// The editor's search: best first; an empty list and a reason when nothing
// could be asked or nothing matched (reason empty then).
std::vector<TvSearchHit> TvmazeSearch(const std::string &name, std::string *error);

// Fetches show `id`'s schedule and akas and stores them in the cache.
// False (the old cache kept) when TVmaze could not give them.
bool TvmazeFetchSchedule(int32_t id, std::string *error = nullptr);

// --- Cache ---------------------------------------------------------------

// The cached schedule of show `id` (read from schedule/<id>.json the first
// time); null when there is none. A damaged file is reported in the Log,
// deleted, and a fetch requested.
std::shared_ptr<const TvSchedule> CachedSchedule(int32_t id);
std::string ScheduleCachePath(int32_t id);
// Forgets the schedules held in memory (tests; a changed data folder).
void ForgetCachedSchedules();

// Whether the pass should have the worker fetch `schedule` again: it is a
// week old, or the awaited episode (season, episode) has aired and nothing
// later is listed (at most once a day for that reason).
bool ScheduleWantsRefresh(const TvSchedule &schedule, int season, int episode, int64_t now);

// --- Roll-over -----------------------------------------------------------

// The index of the episode to await for (season, episode): that regular
// episode when listed, else the first listed after it by number; -1 when
// the list holds nothing at or after it.
int AwaitedEpisodeIndex(const TvSchedule &schedule, int season, int episode);
// After a find of season `season`, episodes up to `lastEpisode` (a double
// episode S03E09E10 gives 10): the next regular episode in airing order;
// -1 when none is listed.
int NextEpisodeIndex(const TvSchedule &schedule, int season, int lastEpisode);

// "Tue 2026-10-06 21:00" in the user's local time.
std::string LocalAirText(int64_t utc);
// The editor's line about the awaited episode: "S03E05 airs Tue 2026-10-06
// 21:00", "no date yet", "show ended", or, without a schedule,
// "schedule unknown (offline)".
std::string ScheduleStatusText(const TvSchedule *schedule, int season, int episode);

// The host-table entry GetShowInfo: the link, ids, akas, premiere year and
// country of `show` (found by its record, else by its name), and the air
// time of (season, episode) from the cached schedule.
struct Show;
struct QLN_SHOW_INFO;
bool HostGetShowInfo(const Show *show, int season, int episode, QLN_SHOW_INFO *info);

// --- Worker --------------------------------------------------------------

// Asks the worker to fetch show `id` soon (once, however often asked).
void RequestScheduleFetch(int32_t id);
// Notes a linked show for the daily look at TVmaze's update list.
void NoteLinkedShow(int32_t id);
// Allows the "TVmaze Thread": it starts with the first fetch or linked show
// and ends with the program. When the system cannot start it the Log says
// so once; cached schedules still serve.
void StartTvmazeThread();
// One round of the worker's work, on the caller's thread: the daily update
// list when due, then every requested fetch. Tests.
void TvmazeWorkOnce();
// Tests: no waits between requests (the 429 waits stay), all state cleared.
void ResetTvmazeForTesting(bool noSpacing);
