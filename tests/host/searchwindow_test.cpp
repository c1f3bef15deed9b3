// When a linked show's episode is searched, on the host's injected clock:
// the window's arithmetic, the first day and the back-off, Scan Now, clock
// jumps, moved and undated episodes; then whole passes with a scripted
// plugin and a schedule in the cache, including what the host entry
// GetSearchPass tells the plugin.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "airstamp.h"
#include "checkcycle.h"
#include "checkstate.h"
#include "clock.h"
#include "host_fixture.h"
#include "hostapi.h"
#include "loader.h"
#include "searchwindow.h"
#include "settings.h"
#include "showlist.h"
#include "tvmaze.h"
#include "vorlo/platform.h"

using nlohmann::json;

namespace {

int64_t swNow = 1'800'000'000;
int64_t SwClock() { return swNow; }
constexpr int64_t kHour = 3600, kDay = 24 * kHour;

TvEpisode Aired(int season, int number, int64_t airstamp) {
    TvEpisode e;
    e.season = season;
    e.number = number;
    e.airstamp = airstamp;
    e.hasAirstamp = true;
    return e;
}

class SearchWindows : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        swNow = 1'800'000'000;
        SetHostClockForTesting(&SwClock);
        std::strcpy(show.ShowName, "Window");
        schedule.show.id = 7;
        schedule.show.runtime = 30;
    }
    SearchPlan Plan(const TvEpisode &e, bool scanNow = false, int offset = 0) {
        return PlanSearch(&show, 7, schedule, e, offset, scanNow, swNow, WindowRules());
    }
    // Plans at `now` and, when it says so, searches.
    bool Step(const TvEpisode &e, int64_t now) {
        swNow = now;
        SearchPlan plan = Plan(e);
        if (plan.search)
            NoteSearched(7, e.season, e.number, now);
        return plan.search;
    }
    Show show{};
    TvSchedule schedule;
};

TEST_F(SearchWindows, WindowIsAirTimePlusRuntimePlusOffset) {
    EXPECT_EQ(1000 + 30 * 60, WindowStart(1000, 30, 0));
    EXPECT_EQ(1000 + 60 * 60, WindowStart(1000, 0, 0));        // no runtime: an hour
    EXPECT_EQ(1000 + 60 * 60 - 120 * 60, WindowStart(1000, 0, -120));  // web release, early

    const int64_t airs = swNow + kHour;
    TvEpisode e = Aired(1, 2, airs);
    SearchPlan plan = Plan(e);
    EXPECT_EQ(WindowPhase::NotYet, plan.phase);
    EXPECT_FALSE(plan.search);
    EXPECT_EQ(airs + 30 * 60, plan.nextSearch);
    // An offset of -2 hours opens it already.
    EXPECT_TRUE(Plan(e, false, -120).search);

    swNow = airs + 30 * 60 - 1;
    EXPECT_FALSE(Plan(e).search);
    swNow += 1;
    plan = Plan(e);
    EXPECT_EQ(WindowPhase::FirstDay, plan.phase);
    EXPECT_TRUE(plan.search);

    TvEpisode undated;
    undated.season = 1;
    undated.number = 3;
    plan = Plan(undated, true);
    EXPECT_EQ(WindowPhase::NoDate, plan.phase);
    EXPECT_FALSE(plan.search);
}

// 15-minute passes: every pass for a day, then every 6 hours until day 14,
// then daily; Scan Now searches at once but never before the window.
TEST_F(SearchWindows, FirstDayEveryPassThenBackOff) {
    const int64_t start = swNow + 30 * 60;
    TvEpisode e = Aired(2, 1, swNow);
    int firstDay = 0, days2to14 = 0, later = 0;
    for (int64_t now = start; now < start + 20 * kDay; now += 15 * 60) {
        bool searched = Step(e, now);
        int64_t age = now - start;
        (age < kDay ? firstDay : age < 14 * kDay ? days2to14 : later) += searched;
    }
    EXPECT_EQ(96, firstDay);
    EXPECT_EQ(13 * 4, days2to14);
    EXPECT_EQ(6, later);

    // Scan Now: at once, and the back-off starts over from there.
    swNow += 60;
    EXPECT_TRUE(Plan(e, true).search);

    // Before the window even Scan Now leaves the episode alone.
    TvEpisode next = Aired(2, 2, swNow + 7 * kDay);
    EXPECT_FALSE(Plan(next, true).search);

    // The steps come from main.conf.
    WindowRules rules;
    g_settings.RetryHours = 2;
    g_settings.DailyRetryAfterDays = 3;
    rules = CurrentWindowRules();
    EXPECT_EQ(2 * kHour, rules.retrySeconds);
    EXPECT_EQ(3 * kDay, rules.dailyAfterSeconds);
}

TEST_F(SearchWindows, ClockJumpsNeitherFloodNorStall) {
    TvEpisode e = Aired(1, 1, swNow - 10 * kDay);
    EXPECT_TRUE(Step(e, swNow));
    // Set back by two days (time zone, a wrong clock corrected): not every
    // pass, but within one back-off step.
    const int64_t back = swNow - 2 * kDay;
    int searched = 0;
    for (int64_t now = back; now < back + 6 * kHour + 1; now += 15 * 60)
        searched += Step(e, now);
    EXPECT_EQ(1, searched);
    // Forward by a month (a long suspend): one search, then daily.
    const int64_t ahead = swNow + 30 * kDay;
    searched = 0;
    for (int64_t now = ahead; now < ahead + kDay; now += 15 * 60)
        searched += Step(e, now);
    EXPECT_EQ(1, searched);
}

TEST_F(SearchWindows, MovedAndUndatedEpisodesAreLoggedAndReplanned) {
    TvEpisode e = Aired(3, 4, swNow - 3 * kDay);
    EXPECT_TRUE(Step(e, swNow));
    EXPECT_FALSE(Step(e, swNow + 60));
    // Moved to a day later: a new window, logged once.
    e.airstamp += kDay;
    EXPECT_TRUE(Step(e, swNow + 120));
    EXPECT_EQ(1, CountText(LogTarget::Log, "Window: S03E04 moved to " + LocalAirText(e.airstamp)));
    EXPECT_FALSE(Step(e, swNow + 180));
    // Back to "no date": not searched, one line; with a date again it is.
    e.hasAirstamp = false;
    EXPECT_FALSE(Step(e, swNow + 240));
    EXPECT_FALSE(Step(e, swNow + 300));
    EXPECT_EQ(1, CountText(LogTarget::Log, "Window: S03E04 has no air date any more; it is searched once it has one"));
    e.hasAirstamp = true;
    e.airstamp = swNow - 10 * kDay;
    EXPECT_TRUE(Step(e, swNow + 360));
}

// ---- whole passes --------------------------------------------------------

QLN_SEARCH_PASS gSeen[8];
int gSeenCount = 0;
bool gSeenFirstDay[8];

void AskHost(const char *name, int season, int episode) {
    Show *show = nullptr;
    for (Show *s : ShowArray())
        if (std::strcmp(s->ShowName, name) == 0)
            show = s;
    if (gSeenCount >= 8)
        return;
    QLN_SEARCH_PASS pass{};
    pass.Size = sizeof pass;
    const QLN_HOST_API *host = GetHostApi();
    ASSERT_TRUE(QLN_HostHasEntry(host, offsetof(QLN_HOST_API, GetSearchPass)));
    gSeenFirstDay[gSeenCount] = host->GetSearchPass(show, season, episode, &pass);
    gSeen[gSeenCount++] = pass;
}

class WindowPasses : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        swNow = 1'800'000'000;
        gSeenCount = 0;
        SetHostClockForTesting(&SwClock);
        ForgetCachedSchedules();
        ASSERT_TRUE(LoadPlugin(CopyPlugin(Lib("qln_scriptA"), "p", Lib("qln_scriptA")).c_str()));
        int slot = GetPluginCount() - 1;
        g_pluginSlots[slot].enabled = 1;
        LibraryHandle lib = g_pluginSlots[slot].library;
        reinterpret_cast<void (*)()>(LibEntry(lib, "Script_Reset"))();
        reinterpret_cast<void (*)(void (*)(const char *, int, int))>(LibEntry(lib, "Script_SetHook"))(&AskHost);
        callCount = reinterpret_cast<int (*)()>(LibEntry(lib, "Script_CallCount"));
    }
    void TearDown() override {
        ForgetCachedSchedules();
        HostTest::TearDown();
    }
    // Writes show `id`'s schedule into the cache as the worker would.
    void CacheSchedule(int id, json episodes) {
        json show = {{"id", id}, {"name", "Paced"}, {"status", "Running"}, {"runtime", 60},
                     {"_embedded", {{"episodes", episodes}}}};
        json doc = {{"fetched", swNow}, {"show", show}, {"akas", json::array()}};
        PlatformMakeFolder((std::string(g_paths.DataFolder) + "schedule").c_str());
        std::ofstream(ScheduleCachePath(id)) << doc.dump();
    }
    static json Ep(int season, int number, int64_t airs) {
        CivilTime t = CivilFromSeconds(airs);
        char stamp[40];
        std::snprintf(stamp, sizeof stamp, "%04lld-%02u-%02uT%02u:%02u:00+00:00", static_cast<long long>(t.year),
                      t.month, t.day, t.hour, t.minute);
        return {{"season", season}, {"number", number}, {"airstamp", stamp}, {"airdate", ""}, {"airtime", ""}};
    }
    Show *Linked(const char *name, int season, int episode, int id) {
        Show *show = NewShow();
        std::snprintf(show->ShowName, sizeof show->ShowName, "%s", name);
        show->Season = season;
        show->Episode = episode;
        AddShow(show);
        ShowLink link;
        link.tvmazeId = id;
        SetShowLink(show, link);
        return show;
    }
    int (*callCount)() = nullptr;
};

TEST_F(WindowPasses, LinkedShowsWaitForTheirWindowAndThePluginLearnsTheFirstDay) {
    CacheSchedule(11, json::array({Ep(1, 1, swNow - 10 * kDay), Ep(1, 2, swNow + 2 * kHour)}));
    Linked("Paced", 1, 2, 11);
    Show *plain = NewShow();
    std::strcpy(plain->ShowName, "Plain");
    plain->Season = 1;
    plain->Episode = 1;
    AddShow(plain);

    // Not aired: only the unlinked show is asked (with its guess).
    RunCheck();
    EXPECT_EQ(2, callCount());
    EXPECT_FALSE(gSeenFirstDay[0]);
    EXPECT_EQ(1, gSeen[0].Pass);
    EXPECT_EQ(swNow, gSeen[0].Now);

    // Air time + runtime passed: asked in its first day, and the plugin is
    // told so, with the window and the pass.
    swNow += 3 * kHour + 1;
    gSeenCount = 0;
    RunCheck();
    ASSERT_EQ(3, gSeenCount);
    EXPECT_TRUE(gSeenFirstDay[0]);
    EXPECT_EQ(QLN_PASS_FIRST_DAY, gSeen[0].Flags);
    EXPECT_EQ(swNow - 3 * kHour - 1 + 3 * kHour, gSeen[0].WindowStart);
    EXPECT_EQ(2, gSeen[0].Pass);
    EXPECT_FALSE(gSeenFirstDay[1]);  // the unlinked show: nothing to tell
}

// A date without a time counts from the start of that day where the show
// airs: the zone its timed episodes show (here UTC-5), else UTC.
TEST_F(WindowPasses, DateWithoutTimeStartsAtMidnightInTheShowsZone) {
    json timed = {{"season", 1}, {"number", 1}, {"airdate", "2027-01-04"}, {"airtime", "21:00"},
                  {"airstamp", "2027-01-05T02:00:00+00:00"}};
    json dateOnly = {{"season", 1}, {"number", 2}, {"airdate", "2027-01-11"}, {"airtime", ""}, {"airstamp", nullptr}};
    CacheSchedule(12, json::array({timed, dateOnly}));
    CacheSchedule(13, json::array({dateOnly}));
    auto zoned = CachedSchedule(12), plain = CachedSchedule(13);
    ASSERT_TRUE(zoned && plain);
    ASSERT_TRUE(zoned->episodes[1].hasAirstamp);
    EXPECT_EQ(DaysFromCivil(2027, 1, 11) * kDay + 5 * kHour, zoned->episodes[1].airstamp);
    EXPECT_EQ(DaysFromCivil(2027, 1, 11) * kDay, plain->episodes[0].airstamp);
}

TEST_F(WindowPasses, SearchPassRecordIsNeverWrittenPastItsSize) {
    unsigned char bytes[sizeof(QLN_SEARCH_PASS) + 8];
    std::memset(bytes, 0xAB, sizeof bytes);
    QLN_SEARCH_PASS *pass = reinterpret_cast<QLN_SEARCH_PASS *>(bytes);
    pass->Size = 16;  // a plugin built when the record ended after Pass
    EXPECT_FALSE(GetHostApi()->GetSearchPass(nullptr, 1, 1, pass));
    EXPECT_EQ(16u, pass->Size);
    for (size_t i = 16; i < sizeof bytes; ++i)
        EXPECT_EQ(0xAB, bytes[i]) << i;
    EXPECT_FALSE(GetHostApi()->GetSearchPass(nullptr, 1, 1, nullptr));
    EXPECT_TRUE(HostHasEntryAt(22));
    EXPECT_FALSE(HostHasEntryAt(QLN_HOST_ENTRY_COUNT)) << "past the table: no entry";
}

TEST_F(WindowPasses, BackOffStepsAreReadFromMainConf) {
    const std::string conf = std::string(g_paths.DataFolder) + "import.conf";
    std::ofstream(conf) << "Quill {\n\tRetryHours 0\n\tDailyRetryAfterDays 30\n};\n";
    ASSERT_TRUE(LoadSettings(conf.c_str()));
    EXPECT_EQ(kDefaultRetryHours, g_settings.RetryHours);
    EXPECT_EQ(30, g_settings.DailyRetryAfterDays);
    EXPECT_EQ(1, CountText(LogTarget::Log, "RetryHours in " + conf + " must be a number of hours from 1 to 168; it stays 6."));
}

}  // namespace
