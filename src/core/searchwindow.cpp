#include "searchwindow.h"

#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include "clock.h"
#include "log.h"
#include "settings.h"
#include "tvmaze.h"

namespace {

constexpr int64_t kDay = 24 * 60 * 60;

// What the last plans said about one awaited episode of one linked show.
struct EpisodeState {
    bool hadDate = false;
    int64_t airstamp = 0;
    int64_t lastSearch = 0;   // 0: not searched since the program started
};

typedef std::tuple<int32_t, int, int> EpisodeKey;  // TVmaze id, season, episode

std::mutex g_lock;
std::map<EpisodeKey, EpisodeState> g_states;
int64_t g_passNumber = 0;
bool g_searching = false;
PassSearch g_current;
bool g_feedSearches = true;

}  // namespace

int64_t WindowStart(int64_t airstamp, int runtimeMinutes, int offsetMinutes) {
    int64_t runtime = runtimeMinutes > 0 ? runtimeMinutes : kDefaultRuntimeMinutes;
    return airstamp + runtime * 60 + int64_t(offsetMinutes) * 60;
}

WindowRules CurrentWindowRules() {
    WindowRules rules;
    if (g_settings.RetryHours >= 1 && g_settings.RetryHours <= kMaxRetryHours)
        rules.retrySeconds = int64_t(g_settings.RetryHours) * 60 * 60;
    if (g_settings.DailyRetryAfterDays >= 1 && g_settings.DailyRetryAfterDays <= kMaxDailyRetryAfterDays)
        rules.dailyAfterSeconds = int64_t(g_settings.DailyRetryAfterDays) * kDay;
    return rules;
}

SearchPlan PlanSearch(const Show *show, int32_t tvmazeId, const TvSchedule &schedule, const TvEpisode &episode,
                      int airOffsetMinutes, bool scanNow, int64_t now, const WindowRules &rules) {
    SearchPlan plan;
    std::lock_guard<std::mutex> hold(g_lock);
    EpisodeState &state = g_states[EpisodeKey(tvmazeId, episode.season, episode.number)];
    if (!episode.hasAirstamp) {
        if (state.hadDate)
            Log("%s: S%02dE%02d has no air date any more; it is searched once it has one", show->ShowName,
                episode.season, episode.number);
        state.hadDate = false;
        return plan;
    }
    if (state.hadDate && state.airstamp != episode.airstamp) {
        Log("%s: S%02dE%02d moved to %s", show->ShowName, episode.season, episode.number,
            LocalAirText(episode.airstamp).c_str());
        state.lastSearch = 0;  // a new window: its own first day and back-off
    }
    if (!state.hadDate)
        state.lastSearch = 0;  // dated (again): planned afresh
    state.hadDate = true;
    state.airstamp = episode.airstamp;

    plan.windowStart = WindowStart(episode.airstamp, schedule.show.runtime, airOffsetMinutes);
    if (now < plan.windowStart) {
        plan.phase = WindowPhase::NotYet;
        plan.nextSearch = plan.windowStart;
        return plan;
    }
    int64_t age = now - plan.windowStart;
    if (age < kFirstDaySeconds) {
        plan.phase = WindowPhase::FirstDay;
        plan.search = true;
        plan.nextSearch = now;
        return plan;
    }
    plan.phase = WindowPhase::BackOff;
    // A clock set back must not hold the episode for as long as it went back.
    if (state.lastSearch > now)
        state.lastSearch = now;
    int64_t interval = age < rules.dailyAfterSeconds ? rules.retrySeconds : kDay;
    int64_t due = state.lastSearch == 0 ? now : state.lastSearch + interval;
    plan.search = scanNow || now >= due;
    plan.nextSearch = plan.search ? now + interval : due;
    return plan;
}

void NoteSearched(int32_t tvmazeId, int season, int episode, int64_t now) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_states[EpisodeKey(tvmazeId, season, episode)].lastSearch = now;
}

void ForgetSearchWindows() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_states.clear();
    g_searching = false;
    g_current = PassSearch();
}

void BeginPassSearch(const PassSearch &search) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_searching = true;
    g_current = search;
}

void EndPassSearch() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_searching = false;
    g_current = PassSearch();
}

void NextPassNumber() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_passNumber += 1;
}

void SetFeedSearchesForTesting(bool on) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_feedSearches = on;
}

bool HostGetSearchPass(const Show *show, int season, int episode, QLN_SEARCH_PASS *pass) {
    if (!pass)
        return false;
    uint32_t size = pass->Size;
    QLN_SEARCH_PASS info;
    std::memset(&info, 0, sizeof info);
    info.Size = size;
    info.Now = HostNow();
    bool firstDay = false;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        info.Pass = g_passNumber;
        firstDay = g_feedSearches && g_searching && g_current.firstDay && show && g_current.show == show &&
                   g_current.season == season && g_current.episode == episode;
        if (firstDay) {
            info.Flags = QLN_PASS_FIRST_DAY;
            info.WindowStart = g_current.windowStart;
        }
    }
    // Never past what the caller's record holds.
    std::memcpy(pass, &info, size < sizeof info ? size : sizeof info);
    return firstDay;
}
