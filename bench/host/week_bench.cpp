// bench_week: a simulated week, run in seconds on the host's injected clock.
// 30 linked shows (weekly evening shows in five time zones, late-night daily
// shows, streaming shows that put a whole season out on one day, a season
// finale, a show back from a break, a show that ends, an episode listed a day
// early as a web release) and one Newznab indexer on 127.0.0.1 that lists
// each episode's release at the end of its airing plus a delay drawn from a
// fixed seed (5 minutes to 12 hours, most within 2 hours; a streaming season
// posted together, in order; one a day late, one never), between about 5,000 other releases a day. The real host check
// cycle and the real qln_newznab plugin run a pass every 15 minutes for 8
// days (airings on the first 7) in three ways: today's (shows not linked),
// linked with a search of each episode on its own in its window, and linked
// with the window and the indexer's newest-releases feed. Each way reports
// requests per day, the delay from listing to delivery, episodes missed and
// wrong deliveries; the table "Simulated week" is printed on stdout.
#include <httplib.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "airstamp.h"
#include "bench_util.h"
#include "checkcycle.h"
#include "checkstate.h"
#include "clock.h"
#include "hostapi.h"
#include "lifecycle.h"
#include "loader.h"
#include "searchwindow.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"
#include "tvmaze.h"

using nlohmann::json;

namespace {

constexpr int64_t kMinute = 60, kHour = 3600, kDay = 86400;
constexpr int64_t kPass = 15 * kMinute;
constexpr int kDays = 8;               // passes run 8 days; airings fall on the first 7
constexpr int kOtherPerDay = 5000;     // other shows' releases a day
constexpr int kFeedItems = 100;        // items in a newest-releases answer

std::atomic<int64_t> simNow{0};
int64_t SimClock() { return simNow.load(); }
void NoSleep(unsigned) {}

// Monday 2026-12-07 00:00 UTC.
int64_t WeekStart() { return DaysFromCivil(2026, 12, 7) * kDay; }

struct Episode {
    int season = 0, number = 0;
    int64_t air = 0;          // UTC
    bool dateOnly = false;    // listed with a date and no time
    int64_t listed = -1;      // when the indexer lists the release; -1 never
    std::string title;
    int id = 0;
};

struct SimShow {
    std::string name;
    int tvmazeId = 0;
    int runtime = 60;
    int airOffset = 0;        // minutes
    std::string status = "Running";
    bool catchup = false;
    std::vector<Episode> episodes;
    size_t awaited = 0;       // index of the first episode awaited at the start
};

std::string Dotted(const std::string &name) {
    std::string out = name;
    std::replace(out.begin(), out.end(), ' ', '.');
    return out;
}

// --- the 30 shows -----------------------------------------------------------------

std::vector<SimShow> BuildShows() {
    std::mt19937 random(28);
    auto delay = [&random]() -> int64_t {
        std::uniform_real_distribution<double> unit(0, 1);
        double u = unit(random);
        if (u < 0.8)
            return int64_t(5 * kMinute + unit(random) * 115 * kMinute);
        return int64_t(2 * kHour + unit(random) * 10 * kHour);
    };
    const int64_t start = WeekStart();
    std::vector<SimShow> shows;
    int nextId = 1;
    auto add = [&](SimShow show) {
        show.tvmazeId = 100 + int(shows.size());
        for (Episode &e : show.episodes)
            e.id = nextId++;
        shows.push_back(show);
    };

    // Weekly evening shows: local 21:00 / 20:00 / 22:00 in five zones
    // (December offsets), one a week, the first of them this week.
    static const char *const weeklyNames[] = {
        "Harbor Lights", "The Long Field", "Copper Street", "Nightwatch", "Saltmarsh",
        "The Brass Key", "Fjordlight", "Red Desert Line", "Northern Post", "Quiet Hours",
        "The Tallest Tower", "Glass Orchard", "Bay of Islands", "Winter Circuit", "The Ninth Ward",
        "Old Mill Road"};
    static const int zoneHours[] = {-5, 0, 1, 11, -4};    // US Eastern, UK, Norway, Sydney, Halifax
    static const int localHour[] = {21, 21, 20, 20, 22};
    for (int i = 0; i < 16; ++i) {
        SimShow show;
        show.name = weeklyNames[i];
        show.runtime = i % 3 == 0 ? 30 : 60;
        int zone = i % 5;
        int day = i % 7;
        int64_t firstAir = start + day * kDay + localHour[zone] * kHour - zoneHours[zone] * kHour;
        int season = 1 + i % 4, first = 3 + i % 5;
        Episode before;  // last week's, found already
        before.season = season;
        before.number = first - 1;
        before.air = firstAir - 7 * kDay;
        show.episodes.push_back(before);
        for (int week = 0; week < 2; ++week) {
            Episode e;
            e.season = season;
            e.number = first + week;
            e.air = firstAir + week * 7 * kDay;
            show.episodes.push_back(e);
        }
        show.awaited = 1;
        add(show);
    }
    // Special cases among the weekly shows.
    {
        SimShow &finale = shows[0];  // this week's episode ends the season: nothing listed after it
        finale.episodes.pop_back();
        SimShow &back = shows[1];    // back from a break: the last one aired 8 weeks ago
        back.episodes[0].air -= 7 * 7 * kDay;
        back.episodes[1].season += 1;
        back.episodes[1].number = 1;
        back.episodes[2].season += 1;
        back.episodes[2].number = 2;
        SimShow &ends = shows[2];    // ends with this week's episode
        ends.status = "Ended";
        ends.episodes.pop_back();
        SimShow &early = shows[3];   // web release a day before it airs
        early.airOffset = -24 * 60;
    }
    // Late-night daily shows, Monday to Thursday, 23:35 US Eastern.
    static const char *const dailyNames[] = {"Late Desk", "After Hours Tonight", "The Night Room",
                                             "Midnight Table", "Last Call Live", "Open Mic Nightly"};
    for (int i = 0; i < 6; ++i) {
        SimShow show;
        show.name = dailyNames[i];
        show.runtime = 35;
        for (int week = 0; week < 2; ++week)
            for (int day = 0; day < 4; ++day) {
                Episode e;
                e.season = 12;
                e.number = 40 + week * 4 + day;
                e.air = start + (week * 7 + day) * kDay + 23 * kHour + 35 * kMinute + 5 * kHour;
                show.episodes.push_back(e);
            }
        add(show);
    }
    // Streaming shows: a whole season on one day, dated without a time.
    static const char *const streamNames[] = {"Paper Moons", "The Glass Canyon", "Signal Lost", "Kestrel"};
    for (int i = 0; i < 4; ++i) {
        SimShow show;
        show.name = streamNames[i];
        show.runtime = 50;
        show.catchup = true;
        for (int n = 1; n <= 8; ++n) {
            Episode e;
            e.season = 1 + i % 2;
            e.number = n;
            e.air = start + (1 + i) * kDay;  // the start of that day (UTC: no zone known)
            e.dateOnly = true;
            show.episodes.push_back(e);
        }
        add(show);
    }
    // Four more weekly half-hour comedies, US Pacific 20:00 (UTC-8).
    static const char *const comedyNames[] = {"Desk Mates", "Second Cousins", "The Upstairs Flat", "Pet Sitters"};
    for (int i = 0; i < 4; ++i) {
        SimShow show;
        show.name = comedyNames[i];
        show.runtime = 30;
        for (int week = 0; week < 2; ++week) {
            Episode e;
            e.season = 4;
            e.number = 11 + week;
            e.air = start + (2 + i) * kDay + 28 * kHour + week * 7 * kDay;
            show.episodes.push_back(e);
        }
        add(show);
    }

    for (SimShow &show : shows)
        for (Episode &e : show.episodes) {
            char tag[16];
            std::snprintf(tag, sizeof tag, ".S%02dE%02d", e.season, e.number);
            e.title = Dotted(show.name) + tag + (e.dateOnly ? ".1080p.WEB.h264-GRP" : ".720p.HDTV.x264-GRP");
        }

    // Listing times: the end of the airing (the release itself for a
    // streaming episode: 08:00 UTC) plus the drawn delay.
    const int64_t end = start + 7 * kDay;
    bool late = false, never = false;
    for (SimShow &show : shows) {
        // A streaming season is posted together: one delay, then an episode
        // a minute, in order.
        const int64_t seasonDelay = show.catchup ? delay() : 0;
        for (size_t i = show.awaited; i < show.episodes.size(); ++i) {
            Episode &e = show.episodes[i];
            if (e.air >= end)
                continue;  // airs after the week: never listed in the run
            int64_t out = e.dateOnly ? e.air + 8 * kHour : e.air + show.runtime * kMinute;
            if (show.airOffset < 0)
                out += show.airOffset * kMinute + 60 * kMinute;  // up a day early, as a web release
            e.listed = show.catchup ? out + seasonDelay + int64_t(i) * kMinute : out + delay();
            if (!late && show.name == "Saltmarsh") {
                e.listed = out + 26 * kHour;  // a day late
                late = true;
            } else if (!never && show.name == "The Brass Key") {
                e.listed = -1;  // never listed
                never = true;
            }
        }
    }
    return shows;
}

// --- the indexer --------------------------------------------------------------------

class Indexer {
public:
    explicit Indexer(const std::vector<SimShow> &shows) {
        for (const SimShow &show : shows)
            for (const Episode &e : show.episodes)
                if (e.listed >= 0) {
                    releases.push_back({e.listed, e.title, e.id, &show, &e});
                }
        std::sort(releases.begin(), releases.end(), [](const Release &a, const Release &b) { return a.listed < b.listed; });
        otherStart = WeekStart() - 2 * kDay;
        server.Get(".*", [this](const httplib::Request &request, httplib::Response &response) {
            Answer(request, response);
        });
        port = server.bind_to_any_port("127.0.0.1");
        if (port <= 0)
            throw std::runtime_error("cannot bind the indexer");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~Indexer() {
        server.stop();
        thread.join();
    }
    std::string Address() const { return "http://127.0.0.1:" + std::to_string(port); }

    struct Delivery {
        int id;          // release id; negative for another show's release
        int64_t at;
    };
    std::mutex lock;
    long apiRequests = 0;
    std::vector<Delivery> deliveries;

    void Reset() {
        std::lock_guard<std::mutex> hold(lock);
        apiRequests = 0;
        deliveries.clear();
    }

private:
    struct Release {
        int64_t listed;
        std::string title;
        int id;
        const SimShow *show;
        const Episode *episode;
    };

    // Other shows' releases: one every 86400/5000 seconds, and now and then
    // one whose name begins like one of ours ("Harbor Lights Unwrapped").
    int64_t OtherListed(int64_t k) const { return otherStart + k * kDay / kOtherPerDay; }
    std::string OtherTitle(int64_t k) const {
        char text[96];
        if (k % 50 == 0)
            std::snprintf(text, sizeof text, "%s.Unwrapped.S01E%02d.720p.WEB-GRP",
                          Dotted(releases[size_t(k / 50) % releases.size()].show->name).c_str(),
                          int(1 + k % 20));
        else
            std::snprintf(text, sizeof text, "Stream.Show.%lld.S%02dE%02d.720p.WEB-GRP",
                          static_cast<long long>(k % 3000), int(1 + k % 9), int(1 + k % 24));
        return text;
    }
    static std::string Date(int64_t utc) {
        static const char *const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        CivilTime t = CivilFromSeconds(utc);
        char text[64];
        std::snprintf(text, sizeof text, "%s, %02u %s %04lld %02u:%02u:%02u +0000", days[t.weekday], t.day,
                      months[t.month - 1], static_cast<long long>(t.year), t.hour, t.minute, t.second);
        return text;
    }
    std::string Item(const std::string &title, const std::string &link, int64_t listed) const {
        return "<item><title>" + title + "</title><pubDate>" + Date(listed) + "</pubDate><enclosure url=\"" +
               Address() + link + "\" length=\"1000\" type=\"application/x-nzb\"/></item>";
    }
    static std::string Rss(const std::string &items) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>Sim</title>" +
               items + "</channel></rss>";
    }

    void Answer(const httplib::Request &request, httplib::Response &response) {
        const int64_t now = simNow.load();
        if (request.path.rfind("/get/", 0) == 0) {
            int id = std::atoi(request.path.c_str() + 5);
            {
                std::lock_guard<std::mutex> hold(lock);
                deliveries.push_back({id, now});
            }
            response.set_content("<?xml version=\"1.0\"?>\n<nzb><file/></nzb>", "application/x-nzb");
            return;
        }
        {
            std::lock_guard<std::mutex> hold(lock);
            apiRequests += 1;
        }
        std::string function = request.has_param("t") ? request.get_param_value("t") : "";
        if (function == "caps") {
            response.set_content("<?xml version=\"1.0\"?>\n<caps><searching><search available=\"yes\"/>"
                                 "<tv-search available=\"yes\" supportedParams=\"q,season,ep\"/></searching>"
                                 "<categories><category id=\"5000\" name=\"TV\"/></categories></caps>",
                                 "application/xml");
            return;
        }
        std::string items;
        if (!request.has_param("q")) {
            // The newest releases: the 100 newest listed so far, newest first.
            int64_t k = (now - otherStart) * kOtherPerDay / kDay;
            std::vector<std::pair<int64_t, std::string>> newest;
            for (int64_t j = k; j > k - kFeedItems && j >= 0; --j)
                newest.push_back({OtherListed(j), Item(OtherTitle(j), "/get/-" + std::to_string(j + 1) + ".nzb",
                                                       OtherListed(j))});
            int64_t oldest = newest.empty() ? now : newest.back().first;
            for (const Release &r : releases)
                if (r.listed <= now && r.listed >= oldest)
                    newest.push_back({r.listed, Item(r.title, "/get/" + std::to_string(r.id) + ".nzb", r.listed)});
            std::sort(newest.begin(), newest.end(),
                      [](const std::pair<int64_t, std::string> &a, const std::pair<int64_t, std::string> &b) {
                          return a.first > b.first;
                      });
            if (newest.size() > size_t(kFeedItems))
                newest.resize(kFeedItems);
            for (const auto &item : newest)
                items += item.second;
        } else {
            // A search: the show's name as typed, season and episode.
            std::string q = request.get_param_value("q");
            int season = request.has_param("season") ? std::atoi(request.get_param_value("season").c_str()) : -1;
            int ep = request.has_param("ep") ? std::atoi(request.get_param_value("ep").c_str()) : -1;
            for (const Release &r : releases)
                if (r.listed <= now && q.rfind(r.show->name, 0) == 0 && r.episode->season == season &&
                    r.episode->number == ep)
                    items += Item(r.title, "/get/" + std::to_string(r.id) + ".nzb", r.listed);
        }
        response.set_content(Rss(items), "application/rss+xml");
    }

    std::vector<Release> releases;
    int64_t otherStart = 0;
    httplib::Server server;
    std::thread thread;
    int port = 0;
};

// --- one run --------------------------------------------------------------------------

enum class Way { Today, Windows, WindowsFeed };

struct Outcome {
    double requestsPerDay = 0;
    std::vector<double> delays;      // minutes, releases listed within a day of airing
    std::vector<double> lateDelays;  // minutes, releases listed later
    int missed = 0, wrong = 0, listed = 0;
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t at = size_t(std::ceil(p * double(values.size()))) - 1;
    return values[std::min(at, values.size() - 1)];
}

struct Simulation {
    bench::TempFolder data;
    std::vector<SimShow> shows = BuildShows();
    Indexer indexer{shows};

    Simulation() {
        bench::WriteFile(data / "plugins.ini", "[newznab1]\nname=Sim\nurl=" + indexer.Address() +
                                                   "\napikey=0123456789abcdef\n");
        static char name[] = "bench_week";
        static char *argv[] = {name, nullptr};
        simNow = WeekStart();
        SetHostClockForTesting(&SimClock);
        SetHostSleepForTesting(&NoSleep);
        if (StartupBeforeWindow(1, argv, data.Path().c_str()) >= 0)
            throw std::runtime_error("host start-up failed");
        g_settings.NZB_Exec = 0;
        std::snprintf(g_settings.NZB_Folder, sizeof g_settings.NZB_Folder, "%s", (data / "nzb/").c_str());
        PrepareDownloadFolders();
    }

    void WriteSchedule(const SimShow &show) {
        json episodes = json::array();
        for (const Episode &e : show.episodes) {
            CivilTime t = CivilFromSeconds(e.air);
            char day[16], stamp[40];
            std::snprintf(day, sizeof day, "%04lld-%02u-%02u", static_cast<long long>(t.year), t.month, t.day);
            std::snprintf(stamp, sizeof stamp, "%sT%02u:%02u:00+00:00", day, t.hour, t.minute);
            json item = {{"season", e.season}, {"number", e.number}, {"airdate", day}, {"type", "regular"}};
            item["airtime"] = e.dateOnly ? "" : "21:00";
            item["airstamp"] = e.dateOnly ? json(nullptr) : json(stamp);
            episodes.push_back(item);
        }
        json doc = {{"fetched", simNow.load()},
                    {"show", {{"id", show.tvmazeId}, {"name", show.name}, {"status", show.status},
                              {"runtime", show.runtime}, {"_embedded", {{"episodes", episodes}}}}},
                    {"akas", json::array()}};
        bench::WriteFile(ScheduleCachePath(show.tvmazeId), doc.dump());
    }

    Outcome Run(Way way) {
        // A fresh start: the show list as the week begins, nothing seen, the
        // plugin's own state gone, schedules in the cache for linked shows.
        UnloadPlugins();
        ClearShows();
        {
            MutexHold hold(SeenListLock);
            SeenList.clear();
        }
        ResetCheckState();
        ForgetCachedSchedules();
        std::remove((data / "newznab.state").c_str());
        // The last run's files would stand in the way of this run's.
        std::filesystem::remove_all(data / "nzb");
        std::filesystem::create_directories(data / "nzb");
        std::filesystem::create_directories(data / "schedule");
        SetFeedSearchesForTesting(way == Way::WindowsFeed);
        simNow = WeekStart();
        for (const SimShow &sim : shows) {
            Show *show = NewShow();
            std::snprintf(show->ShowName, sizeof show->ShowName, "%s", sim.name.c_str());
            show->Season = sim.episodes[sim.awaited].season;
            show->Episode = sim.episodes[sim.awaited].number;
            show->Catchup = sim.catchup ? 1 : 0;
            AddShow(show);
            if (way != Way::Today) {
                ShowLink link;
                link.tvmazeId = sim.tvmazeId;
                link.airOffset = sim.airOffset;
                SetShowLink(show, link);
                WriteSchedule(sim);
            }
        }
        if (!LoadPlugin(QLN_NEWZNAB_PATH))
            throw std::runtime_error("cannot load qln_newznab");
        for (int i = 0; i < kPluginSlots; ++i)
            g_pluginSlots[i].enabled = g_pluginSlots[i].plugin ? 1 : 0;
        indexer.Reset();

        for (int64_t t = WeekStart(); t < WeekStart() + kDays * kDay; t += kPass) {
            simNow = t;
            RunCheck();
        }

        Outcome out;
        std::lock_guard<std::mutex> hold(indexer.lock);
        out.requestsPerDay = double(indexer.apiRequests) / kDays;
        std::set<int> delivered;
        for (const Indexer::Delivery &d : indexer.deliveries) {
            if (d.id <= 0 || !delivered.insert(d.id).second) {
                out.wrong += 1;
                if (std::getenv("QUILLON_WEEK_DEBUG") && out.wrong < 20)
                    std::fprintf(stderr, "wrong delivery %d at %lld\n", d.id, static_cast<long long>(d.at - WeekStart()));
                continue;
            }
        }
        for (const SimShow &show : shows)
            for (const Episode &e : show.episodes) {
                if (e.listed < 0 || e.id == 0)
                    continue;
                if (&e < &show.episodes[show.awaited])
                    continue;
                out.listed += 1;
                int64_t at = -1;
                for (const Indexer::Delivery &d : indexer.deliveries)
                    if (d.id == e.id) {
                        at = d.at;
                        break;
                    }
                if (at < 0) {
                    if (std::getenv("QUILLON_WEEK_DEBUG"))
                        std::fprintf(stderr, "missed %s listed %+.0f min after air, %.1f days in\n", e.title.c_str(),
                                     double(e.listed - e.air) / 60, double(e.listed - WeekStart()) / kDay);
                    out.missed += 1;
                    continue;
                }
                double minutes = double(at - e.listed) / 60.0;
                if (std::getenv("QUILLON_WEEK_DEBUG") && minutes > 30)
                    std::fprintf(stderr, "%s: %s listed %+.0f min after air, delivered %.0f min after\n",
                                 show.name.c_str(), e.title.c_str(), double(e.listed - e.air) / 60, minutes);
                (e.listed - e.air <= kDay ? out.delays : out.lateDelays).push_back(minutes);
            }
        return out;
    }
};

struct Results {
    Outcome today, windows, feed;
};

const Results &Week() {
    static Results results = [] {
        Simulation sim;
        Results r;
        // QUILLON_WEEK_QUICK=1 leaves out today's way (the slow one).
        if (!std::getenv("QUILLON_WEEK_QUICK"))
            r.today = sim.Run(Way::Today);
        r.windows = sim.Run(Way::Windows);
        r.feed = sim.Run(Way::WindowsFeed);
        UnloadPlugins();
        SetHostSleepForTesting(nullptr);
        SetHostClockForTesting(nullptr);

        auto row = [](const char *what, const Outcome &o) {
            std::vector<double> all = o.delays;
            all.insert(all.end(), o.lateDelays.begin(), o.lateDelays.end());
            std::printf("| %s | %.0f | %.1f / %.1f / %.0f min | %.0f min | %d of %d | %d |\n", what,
                        o.requestsPerDay, Percentile(o.delays, 0.5), Percentile(o.delays, 0.95),
                        Percentile(o.delays, 1.0), Percentile(o.lateDelays, 1.0), o.missed, o.listed, o.wrong);
        };
        std::printf("\nSimulated week\n\n");
        std::printf("| Way | Requests per indexer per day | Delay, listed within a day of airing (median / 95th "
                    "percentile / max) | Delay, listed later (max) | Episodes missed | Wrong deliveries |\n");
        std::printf("|---|---|---|---|---|---|\n");
        row("Today (shows not linked)", r.today);
        row("Linked: per-episode search in windows", r.windows);
        row("Linked: windows + feed", r.feed);
        std::printf("\n");
        std::fflush(stdout);
        return r;
    }();
    return results;
}

void Run(benchmark::State &state, double measured, double baseline, double ratio) {
    for (auto _ : state) {
    }
    bench::Report(state, measured, baseline, ratio);
}

// Requests per indexer per day, windows + feed against today's.
void WeekRequests(benchmark::State &state) {
    const Results &r = Week();
    Run(state, r.feed.requestsPerDay, r.today.requestsPerDay,
        r.today.requestsPerDay > 0 ? r.feed.requestsPerDay / r.today.requestsPerDay : 0);
}
void WeekDelayMedian(benchmark::State &state) { Run(state, Percentile(Week().feed.delays, 0.5), 0, 0); }
void WeekDelayP95(benchmark::State &state) { Run(state, Percentile(Week().feed.delays, 0.95), 0, 0); }
void WeekLateDelay(benchmark::State &state) { Run(state, Percentile(Week().feed.lateDelays, 1.0) / 60.0, 0, 0); }
void WeekMissedWrong(benchmark::State &state) {
    Run(state, double(Week().feed.missed + Week().feed.wrong), 0, 0);
}

}  // namespace

BENCHMARK(WeekRequests)->Iterations(1);
BENCHMARK(WeekDelayMedian)->Iterations(1);
BENCHMARK(WeekDelayP95)->Iterations(1);
BENCHMARK(WeekLateDelay)->Iterations(1);
BENCHMARK(WeekMissedWrong)->Iterations(1);
