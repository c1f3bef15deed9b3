// TVmaze against a fake server on 127.0.0.1 whose answers have the shapes and
// quirks of the real ones (null numbers for specials, empty air dates, null
// stamps, offsets in stamps, null externals), with air times relative to the
// test clock: the search, the schedule cache, the request manners, and
// linked shows in a pass.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "airstamp.h"
#include "checkcycle.h"
#include "checkstate.h"
#include "clock.h"
#include "host_fixture.h"
#include "hostapi.h"
#include "loader.h"
#include "settings.h"
#include "showlist.h"
#include "test_servers.h"
#include "tvmaze.h"
#include "vorlo/library.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using nlohmann::json;

namespace {

int64_t tvNow = 1'800'000'000;
int64_t TvClock() { return tvNow; }

// An ISO stamp `offsetHours` off UTC for the UTC moment `utc`.
std::string Stamp(int64_t utc, int offsetHours = 0) {
    CivilTime t = CivilFromSeconds(utc + offsetHours * 3600);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02u:%02u:00%c%02d:00", static_cast<long long>(t.year),
                  t.month, t.day, t.hour, t.minute, offsetHours < 0 ? '-' : '+',
                  offsetHours < 0 ? -offsetHours : offsetHours);
    return text;
}

json Episode(int season, json number, int64_t airs, bool dated = true) {
    json e = {{"id", season * 1000 + (number.is_number() ? number.get<int>() : 999)},
              {"season", season}, {"number", number}, {"runtime", 60}};
    if (dated) {
        CivilTime t = CivilFromSeconds(airs);
        char day[16];
        std::snprintf(day, sizeof day, "%04lld-%02u-%02u", static_cast<long long>(t.year), t.month, t.day);
        e["airdate"] = day;
        e["airtime"] = "21:00";
        e["airstamp"] = Stamp(airs, (season % 2) ? 0 : -4);
    } else {
        e["airdate"] = "";
        e["airtime"] = "";
        e["airstamp"] = nullptr;
    }
    return e;
}

json ShowDoc(int id, const std::string &name, const std::string &status, json episodes = json()) {
    json show = {{"id", id},
                 {"url", "http://www.tvmaze.com/shows/" + std::to_string(id)},
                 {"name", name},
                 {"status", status},
                 {"runtime", 60},
                 {"premiered", "2014-04-06"},
                 {"schedule", {{"time", "21:00"}, {"days", {"Sunday"}}}},
                 {"network", {{"id", 8}, {"name", "HBO"}, {"country", {{"name", "United States"}, {"code", "US"}}}}},
                 {"webChannel", nullptr},
                 {"externals", {{"tvrage", nullptr}, {"thetvdb", 277165}, {"imdb", "tt2575988"}}},
                 {"updated", 1500000000}};
    if (!episodes.is_null())
        show["_embedded"] = {{"episodes", episodes}};
    return show;
}

class Tvmaze : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        tvNow = 1'800'000'000;
        SetHostClockForTesting(&TvClock);
        ResetTvmazeForTesting(true);
        server.Routes().Get("/search/shows", [this](const httplib::Request &req, httplib::Response &res) {
            Note(req);
            res.set_content(searchAnswer, "application/json; charset=UTF-8");
        });
        server.Routes().Get(R"(/shows/(\d+))", [this](const httplib::Request &req, httplib::Response &res) {
            Note(req);
            Serve(res, shows, req.matches[1]);
        });
        server.Routes().Get(R"(/shows/(\d+)/akas)", [this](const httplib::Request &req, httplib::Response &res) {
            Note(req);
            Serve(res, akas, req.matches[1]);
        });
        server.Routes().Get("/updates/shows", [this](const httplib::Request &req, httplib::Response &res) {
            Note(req);
            res.set_content(updates, "application/json");
        });
        server.Start();
        std::string base = server.Url("");
        std::snprintf(g_settings.TvmazeUrl, sizeof g_settings.TvmazeUrl, "%s", base.c_str());
    }
    void TearDown() override {
        ResetTvmazeForTesting(false);
        g_settings.TvmazeUrl[0] = '\0';
        HostTest::TearDown();
    }

    void Note(const httplib::Request &req) {
        std::lock_guard<std::mutex> hold(mutex);
        std::string line = req.path;
        if (req.has_param("q"))
            line += " q=" + req.get_param_value("q");
        requests.push_back(line);
        agent = req.get_header_value("User-Agent");
    }
    void Serve(httplib::Response &res, std::map<std::string, std::string> &answers, const std::string &id) {
        std::lock_guard<std::mutex> hold(mutex);
        auto found = answers.find(id);
        if (found == answers.end()) {
            res.status = 404;
            res.set_content(R"({"name":"Not Found","message":"","code":0,"status":404})", "application/json");
            return;
        }
        res.set_content(found->second, "application/json; charset=UTF-8");
    }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> hold(mutex);
        return requests;
    }
    void SetShow(int id, const json &doc, const json &akaList = json::array()) {
        std::lock_guard<std::mutex> hold(mutex);
        shows[std::to_string(id)] = doc.dump();
        akas[std::to_string(id)] = akaList.dump();
    }

    std::mutex mutex;
    std::vector<std::string> requests;
    std::string agent;
    std::string searchAnswer = "[]";
    std::string updates = "{}";
    std::map<std::string, std::string> shows, akas;
    TestHttpServer server;
};

TEST_F(Tvmaze, SearchListsBestFirstAndSurvivesOddNamesAndAnswers) {
    json hits = json::array();
    hits.push_back({{"score", 0.4}, {"show", ShowDoc(2, "Silicon Valley Rebels", "Ended")}});
    json web = ShowDoc(3, "Silicon Valley", "To Be Determined");
    web["network"] = nullptr;
    web["premiered"] = nullptr;
    web["externals"] = {{"tvrage", nullptr}, {"thetvdb", nullptr}, {"imdb", nullptr}};
    web["webChannel"] = {{"id", 1}, {"name", "Netflix"}, {"country", nullptr}};
    hits.push_back({{"score", 17.2}, {"show", ShowDoc(143, "Silicon Valley", "Running")}});
    hits.push_back({{"score", 0.9}, {"show", web}});
    hits.push_back({{"score", 99}, {"show", {{"name", "no id"}}}});  // dropped
    hits.push_back({{"score", 98}});                                   // dropped
    searchAnswer = hits.dump();

    std::string error;
    const std::string odd = "Grey's \"Anatomy\" & #1 Ärzte";
    std::vector<TvSearchHit> found = TvmazeSearch(odd, &error);
    EXPECT_EQ("", error);
    ASSERT_EQ(3u, found.size());
    EXPECT_EQ(143, found[0].show.id);
    EXPECT_EQ(2014, found[0].show.premieredYear);
    EXPECT_EQ("HBO", found[0].show.channel);
    EXPECT_EQ("US", found[0].show.country);
    EXPECT_EQ(277165, found[0].show.tvdbId);
    EXPECT_EQ("tt2575988", found[0].show.imdbId);
    EXPECT_EQ(0, found[0].show.tvrageId);
    EXPECT_EQ(3, found[1].show.id);
    EXPECT_EQ("Netflix", found[1].show.channel);
    EXPECT_EQ("", found[1].show.country);
    EXPECT_EQ(0, found[1].show.premieredYear);
    EXPECT_EQ(2, found[2].show.id);
    // The name arrived whole: quotes, '&', '#' and UTF-8 escaped.
    ASSERT_EQ(1u, Requests().size());
    EXPECT_EQ("/search/shows q=" + odd, Requests()[0]);
    EXPECT_EQ(0u, agent.find("Quillon/"));

    searchAnswer = "[]";
    EXPECT_TRUE(TvmazeSearch("nothing", &error).empty());
    EXPECT_EQ("", error);
    searchAnswer = "<html>rate limited</html>";
    EXPECT_TRUE(TvmazeSearch("x", &error).empty());
    EXPECT_NE("", error);
    searchAnswer = R"({"not":"a list"})";
    EXPECT_TRUE(TvmazeSearch("x", &error).empty());
    EXPECT_NE("", error);
}

TEST_F(Tvmaze, ScheduleIsCachedPrivatelyAndADamagedCacheIsFetchedAgain) {
    json episodes = json::array();
    episodes.push_back(Episode(1, 1, tvNow - 9 * 86400));
    episodes.push_back(Episode(1, nullptr, tvNow - 8 * 86400));  // special inside the season
    json typed = Episode(1, 2, tvNow - 7 * 86400);
    typed["type"] = "significant_special";
    episodes.push_back(typed);
    episodes.push_back(Episode(1, 3, tvNow + 86400, false));  // no date yet
    episodes.push_back({{"season", "1"}, {"number", 4}});       // malformed: skipped
    SetShow(143, ShowDoc(143, "Silicon Valley", "Running", episodes),
            json::array({{{"name", "Кремниевая долина"}, {"country", {{"code", "RU"}}}},
                         {{"name", "Silicon Valley"}, {"country", nullptr}}}));

    ASSERT_TRUE(TvmazeFetchSchedule(143));
    std::shared_ptr<const TvSchedule> s = CachedSchedule(143);
    ASSERT_TRUE(s);
    ASSERT_EQ(2u, s->episodes.size());
    EXPECT_EQ(1, s->episodes[0].number);
    EXPECT_TRUE(s->episodes[0].hasAirstamp);
    EXPECT_EQ(tvNow - 9 * 86400, s->episodes[0].airstamp);
    EXPECT_EQ(3, s->episodes[1].number);
    EXPECT_FALSE(s->episodes[1].hasAirstamp);
    EXPECT_EQ(std::vector<std::string>{"Кремниевая долина"}, s->show.akas);
    EXPECT_EQ(tvNow, s->fetched);
    const std::string file = "schedule/143.json";
    ASSERT_TRUE(box.Exists(file));
#ifndef _WIN32
    struct stat st;
    ASSERT_EQ(0, stat(box.File(file).c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
#endif
    // Read back from the file alone.
    ForgetCachedSchedules();
    s = CachedSchedule(143);
    ASSERT_TRUE(s);
    EXPECT_EQ(2u, s->episodes.size());
    EXPECT_EQ("no date yet", ScheduleStatusText(s.get(), 1, 3));
    EXPECT_EQ("schedule unknown (offline)", ScheduleStatusText(nullptr, 1, 3));

    // A damaged file: one Log line, deleted, and fetched by the next round.
    box.Write(file, "{\"fetched\":1,\"show\":{\"id\":143,\"_embedded\":");
    ForgetCachedSchedules();
    EXPECT_FALSE(CachedSchedule(143));
    EXPECT_EQ(1, CountText(LogTarget::Log, "The schedule cache " + Native(box.File(file)) +
                                               " is damaged; it is deleted and fetched again from TVmaze."));
    EXPECT_FALSE(box.Exists(file));
    TvmazeWorkOnce();
    EXPECT_TRUE(box.Exists(file));
    ASSERT_TRUE(CachedSchedule(143));

    // The id now answers 404: said once in the Log, the cache is kept.
    { std::lock_guard<std::mutex> hold(mutex); shows.clear(); }
    EXPECT_FALSE(TvmazeFetchSchedule(143));
    EXPECT_TRUE(HasText(LogTarget::Log, "TVmaze knows no show 143 any more; its cached schedule is kept. Use "
                                        "Find in the show editor to link the show again."));
    EXPECT_TRUE(box.Exists(file));
    EXPECT_TRUE(CachedSchedule(143));
    // Not JSON, or JSON without an id: refused, cache kept.
    { std::lock_guard<std::mutex> hold(mutex); shows["143"] = "not json"; }
    EXPECT_FALSE(TvmazeFetchSchedule(143));
    { std::lock_guard<std::mutex> hold(mutex); shows["143"] = "{\"name\":\"x\"}"; }
    EXPECT_FALSE(TvmazeFetchSchedule(143));
    EXPECT_TRUE(CachedSchedule(143));
}

TEST_F(Tvmaze, LongListsLimitsAndOutages) {
    json many = json::array();
    for (int i = 0; i < 5000; i++)
        many.push_back(Episode(1 + i / 100, 1 + i % 100, tvNow - 86400LL * (5000 - i)));
    SetShow(7, ShowDoc(7, "Daily", "Running", many));
    ASSERT_TRUE(TvmazeFetchSchedule(7));
    ASSERT_EQ(5000u, CachedSchedule(7)->episodes.size());

    // HTTP 429 with Retry-After: asked again after the wait.
    std::atomic<int> calls{0};
    server.Routes().Get("/limited", [&](const httplib::Request &, httplib::Response &res) {
        if (calls++ == 0) {
            res.status = 429;
            res.set_header("Retry-After", "1");
            return;
        }
        res.set_content("[]", "application/json");
    });
    TvAnswer answer = TvmazeGet("/limited");
    EXPECT_EQ(200, answer.status);
    EXPECT_EQ(2, calls.load());

    // Over 8 MiB: refused.
    server.Routes().Get("/huge", [](const httplib::Request &, httplib::Response &res) {
        res.set_content(std::string((8u << 20) + 10, ' '), "application/json");
    });
    answer = TvmazeGet("/huge");
    EXPECT_EQ("answer over 8 MiB refused", answer.error);
    EXPECT_TRUE(answer.body.empty());

    // Unreachable, twice, then back: one line each way.
    std::string base = g_settings.TvmazeUrl;
    std::snprintf(g_settings.TvmazeUrl, sizeof g_settings.TvmazeUrl, "http://127.0.0.1:1");
    EXPECT_FALSE(TvmazeFetchSchedule(7));
    EXPECT_FALSE(TvmazeFetchSchedule(7));
    std::snprintf(g_settings.TvmazeUrl, sizeof g_settings.TvmazeUrl, "%s", base.c_str());
    EXPECT_TRUE(TvmazeFetchSchedule(7));
    std::vector<std::string> log = Texts(LogTarget::Log);
    int down = 0, up = 0;
    for (const std::string &line : log) {
        down += line.rfind("TVmaze is not answering (", 0) == 0;
        up += line == "TVmaze answers again.";
    }
    EXPECT_EQ(1, down);
    EXPECT_EQ(1, up);
}

TEST_F(Tvmaze, StopScanEndsALookupThatHangs) {
    StalledServer stalled;
    std::snprintf(g_settings.TvmazeUrl, sizeof g_settings.TvmazeUrl, "%s", stalled.Url("").c_str());
    std::thread stopper([&] {
        WaitFor([&] { return stalled.Accepted() > 0; });
        abortCheck = true;
    });
    TvAnswer answer = TvmazeGet("/shows/1");
    stopper.join();
    EXPECT_TRUE(answer.stopped);
    abortCheck = false;
}

TEST_F(Tvmaze, PluginsGetTheIdsAkasAndAirTimeThroughTheAppendedEntry) {
    const QLN_HOST_API *api = GetHostApi();
    EXPECT_TRUE(QLN_HostHasEntry(api, offsetof(QLN_HOST_API, GetShowInfo)));
    ASSERT_EQ(api->GetShowInfo, &HostGetShowInfo);

    const int64_t airs = tvNow + 3 * 86400;
    json episodes = json::array({Episode(2, 4, airs)});
    SetShow(143, ShowDoc(143, "Silicon Valley", "Running", episodes),
            json::array({{{"name", "Кремниевая долина"}}, {{"name", "SV & Co #1"}}}));
    ASSERT_TRUE(TvmazeFetchSchedule(143));
    Show *show = NewShow();
    std::snprintf(show->ShowName, sizeof show->ShowName, "Silicon Valley");
    AddShow(show);
    ShowLink link;
    link.tvmazeId = 143;
    link.tvrageId = 33759;
    link.airOffset = -90;
    SetShowLink(show, link);

    QLN_SHOW_INFO info;
    std::memset(&info, 0x5a, sizeof info);
    info.Size = sizeof info;
    ASSERT_TRUE(api->GetShowInfo(show, 2, 4, &info));
    EXPECT_EQ(sizeof info, info.Size);
    EXPECT_EQ(143, info.TvmazeId);
    EXPECT_EQ(277165, info.TvdbId);  // from the schedule when the file has none
    EXPECT_EQ(33759, info.TvrageId);
    EXPECT_STREQ("tt2575988", info.ImdbId);
    EXPECT_EQ(2014, info.PremiereYear);
    EXPECT_STREQ("US", info.Country);
    EXPECT_EQ(0, info.Reserved);
    EXPECT_EQ(airs - 90 * 60, info.AirTime);
    EXPECT_STREQ("Кремниевая долина\nSV & Co #1\n", info.Aliases);
    // A copy of the record is found by its name; an unknown episode has no time.
    Show copy = *show;
    ASSERT_TRUE(api->GetShowInfo(&copy, 9, 9, &info));
    EXPECT_EQ(0, info.AirTime);

    // An older plugin's smaller record is not written past its Size.
    unsigned char small[40];
    std::memset(small, 0x77, sizeof small);
    uint32_t size = 32;
    std::memcpy(small, &size, sizeof size);
    ASSERT_TRUE(api->GetShowInfo(show, 2, 4, reinterpret_cast<QLN_SHOW_INFO *>(small)));
    EXPECT_EQ(0x77, small[32]);
    // An unlinked show: false, the record zeroed.
    Show *plain = NewShow();
    std::snprintf(plain->ShowName, sizeof plain->ShowName, "Plain");
    AddShow(plain);
    std::memset(&info, 0x5a, sizeof info);
    info.Size = sizeof info;
    EXPECT_FALSE(api->GetShowInfo(plain, 1, 1, &info));
    EXPECT_EQ(0, info.TvmazeId);
    EXPECT_EQ('\0', info.Aliases[0]);
}

// Linked shows in a pass, with a scripted indexer.
class TvmazePass : public Tvmaze {
protected:
    struct Script {
        void (*Offer)(const char *, int, int);
        int (*CallCount)();
        const char *(*Call)(int);
    } script{};

    void SetUp() override {
        Tvmaze::SetUp();
        ASSERT_TRUE(LoadPlugin(CopyPlugin(Lib("qln_scriptA"), "p", Lib("qln_scriptA")).c_str()));
        int slot = GetPluginCount() - 1;
        g_pluginSlots[slot].enabled = 1;
        LibraryHandle lib = g_pluginSlots[slot].library;
        reinterpret_cast<void (*)()>(LibEntry(lib, "Script_Reset"))();
        script.Offer = reinterpret_cast<void (*)(const char *, int, int)>(LibEntry(lib, "Script_Offer"));
        script.CallCount = reinterpret_cast<int (*)()>(LibEntry(lib, "Script_CallCount"));
        script.Call = reinterpret_cast<const char *(*)(int)>(LibEntry(lib, "Script_Call"));
    }
    std::vector<std::string> Calls() {
        std::vector<std::string> calls;
        for (int i = 0; i < script.CallCount(); ++i)
            calls.push_back(script.Call(i));
        return calls;
    }
    Show *Linked(const char *name, int season, int episode, int32_t id) {
        Show *show = NewShow();
        std::snprintf(show->ShowName, sizeof show->ShowName, "%s", name);
        show->Season = season;
        show->Episode = episode;
        show->Catchup = 1;
        AddShow(show);
        ShowLink link;
        link.tvmazeId = id;
        SetShowLink(show, link);
        return show;
    }
};

TEST_F(TvmazePass, RollOverComesFromTheListAndAnEndedShowIsPaused) {
    json episodes = json::array();
    episodes.push_back(Episode(1, 9, tvNow - 20 * 86400));
    episodes.push_back(Episode(1, 10, tvNow - 13 * 86400));
    episodes.push_back(Episode(2, nullptr, tvNow - 9 * 86400));  // special between seasons
    episodes.push_back(Episode(2, 1, tvNow - 6 * 86400));
    episodes.push_back(Episode(2, 2, tvNow + 86400));
    SetShow(5, ShowDoc(5, "Roll", "Running", episodes));
    Show *show = Linked("Roll", 1, 9, 5);

    // No cache yet: searched as an unlinked show (guess included) while the
    // schedule is requested.
    RunCheck();
    EXPECT_EQ((std::vector<std::string>{"Roll 1x09", "Roll 2x01"}), Calls());
    EXPECT_TRUE(Requests().empty());
    TvmazeWorkOnce();
    ASSERT_TRUE(CachedSchedule(5));

    // From the list: 1x09 and 1x10 found, then season 2 starts (the special
    // is never awaited); 2x02 has not aired, so it is not asked, and no
    // guessed 3x01 is asked.
    script.Offer("Roll", 1, 9);
    script.Offer("Roll", 1, 10);
    script.Offer("Roll", 2, 1);
    size_t before = Calls().size();
    RunCheck();
    std::vector<std::string> calls = Calls();
    EXPECT_EQ((std::vector<std::string>{"Roll 1x09", "Roll 1x10", "Roll 2x01"}),
              std::vector<std::string>(calls.begin() + static_cast<long>(before), calls.end()));
    EXPECT_EQ(2, show->Season);
    EXPECT_EQ(2, show->Episode);
    EXPECT_EQ(1, CountText(LogTarget::Log, "Roll: season 2 starts with S02E01 on " +
                                                 LocalAirText(tvNow - 6 * 86400)));
    // Linked and reloaded: the link and the position survive the file.
    ClearShows();
    ASSERT_TRUE(LoadShows());
    ASSERT_EQ(1, ShowCount());
    show = GetShow(0);
    EXPECT_EQ(5, GetShowLink(show).tvmazeId);
    EXPECT_EQ(2, show->Episode);
    show->Catchup = 1;

    // The show ends with 2x02: found once it has aired, then paused with
    // one Log line.
    tvNow += 2 * 86400;
    json ended = ShowDoc(5, "Roll", "Ended", episodes);
    SetShow(5, ended);
    ASSERT_TRUE(TvmazeFetchSchedule(5));
    script.Offer("Roll", 2, 2);
    RunCheck();
    EXPECT_EQ("Roll 2x02", Calls().back());
    EXPECT_TRUE(show->Pause);
    EXPECT_EQ(1, CountText(LogTarget::Log, "Roll ended after S02E02; paused"));
    before = Calls().size();
    RunCheck();
    EXPECT_EQ(before, Calls().size());
    EXPECT_EQ(1, CountText(LogTarget::Log, "Roll ended after S02E02; paused"));
}

TEST_F(TvmazePass, RefreshRules) {
    json episodes = json::array({Episode(1, 1, tvNow - 2 * 86400), Episode(1, 2, tvNow + 3600)});
    SetShow(9, ShowDoc(9, "Rules", "Running", episodes));
    ASSERT_TRUE(TvmazeFetchSchedule(9));
    auto s = CachedSchedule(9);
    // Fresh, awaited episode not aired: nothing to ask.
    EXPECT_FALSE(ScheduleWantsRefresh(*s, 1, 2, tvNow + 60));
    // Aired, nothing later, but fetched less than a day ago: not yet.
    EXPECT_FALSE(ScheduleWantsRefresh(*s, 1, 2, tvNow + 7200));
    // A day on: once, then not again that day.
    EXPECT_TRUE(ScheduleWantsRefresh(*s, 1, 2, tvNow + 86400 + 7200));
    EXPECT_FALSE(ScheduleWantsRefresh(*s, 1, 2, tvNow + 86400 + 9000));
    // Otherwise weekly.
    EXPECT_FALSE(ScheduleWantsRefresh(*s, 1, 1, tvNow + 6 * 86400));
    EXPECT_TRUE(ScheduleWantsRefresh(*s, 1, 1, tvNow + 7 * 86400));

    // The daily update list names the show after its cache was written: one
    // call for the list, one fetch; the next round the same day asks nothing.
    NoteLinkedShow(9);
    NoteLinkedShow(10);
    updates = json({{"9", tvNow + 100}, {"10", tvNow - 100}, {"11", tvNow + 100}}).dump();
    tvNow += 3600;
    size_t before = Requests().size();
    TvmazeWorkOnce();
    std::vector<std::string> r = Requests();
    // Show 10 has no cache, so it is fetched too (and answers 404).
    EXPECT_EQ((std::vector<std::string>{"/updates/shows", "/shows/9", "/shows/9/akas", "/shows/10"}),
              std::vector<std::string>(r.begin() + static_cast<long>(before), r.end()));
    before = Requests().size();
    TvmazeWorkOnce();
    EXPECT_EQ(before, Requests().size());
    // A failed fetch is not tried again within the hour, whoever asks.
    RequestScheduleFetch(10);
    tvNow += 1800;
    TvmazeWorkOnce();
    EXPECT_EQ(before, Requests().size());
    RequestScheduleFetch(10);
    tvNow += 1800;
    TvmazeWorkOnce();
    EXPECT_EQ(before + 1, Requests().size());
}

}  // namespace
