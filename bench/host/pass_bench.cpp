// A pass over 64 due shows with one RSS plugin (the real qln_ezRSS.so or
// qln_generic.so, loaded through the host's loader) against an index server
// on 127.0.0.1 that answers every request at once with the same 25-item
// feed. Every item of the feed is already in the seen list, so the pass
// delivers nothing and can be repeated: each show costs two searches (its
// awaited episode, then episode 1 of the next season).
//
// The baseline, in the same rounds: the very requests the pass made (as the
// server recorded them), sent by a bare libcurl loop with one easy handle per
// request, the floor for sequential searches. A third loop sends them through
// the host's guarded libcurl entries (protocol limits, progress callback,
// low-speed limit) to show what the guard costs on its own.
//
// A fourth loop only parses the answer with TinyXML as often as the pass
// received it, to show how much of the pass's cost over the floor that is.
//
// Reported: measured = pass time in ms, baseline = floor in ms, ratio = pass
// / floor (median of the rounds); guarded_ratio = guarded loop / floor;
// floor_plus_parse_ratio = (floor + parse loop) / floor.
#include <curl/curl.h>
#include <tinyxml.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "checkcycle.h"
#include "checkstate.h"
#include "hostapi.h"
#include "http_server.h"
#include "lifecycle.h"
#include "loader.h"
#include "seenlist.h"
#include "showlist.h"

namespace {

constexpr int kShows = 64;
constexpr int kItems = 25;
constexpr int kRounds = 21;

std::string FeedTitle(int i) { return "Bench Show 1x01 HDTV x264-GRP" + std::to_string(i); }

std::string Feed(const std::string &address) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
        "<title>Bench feed</title>\n<link>" + address + "</link>\n";
    for (int i = 0; i < kItems; ++i) {
        xml += "<item>\n<title>" + FeedTitle(i) + "</title>\n";
        xml += "<link>" + address + "/t/" + std::to_string(i) + ".torrent</link>\n";
        xml += "<description>Episode " + std::to_string(i) + " of the bench show, with some text "
               "so that the item is as long as a real one.</description>\n";
        xml += "<pubDate>Mon, 07 Dec 2026 09:00:00 +0000</pubDate>\n";
        xml += "<enclosure url=\"" + address + "/t/" + std::to_string(i) +
               ".torrent\" length=\"12345\" type=\"application/x-bittorrent\"/>\n</item>\n";
    }
    return xml + "</channel>\n</rss>\n";
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

size_t Collect(char *block, size_t size, size_t count, void *out) {
    static_cast<std::string *>(out)->append(block, size * count);
    return size * count;
}

// One easy handle per request, nothing but the URL and the write callback.
void BareLoop(const std::vector<std::string> &urls) {
    for (const std::string &url : urls) {
        std::string answer;
        CURL *handle = curl_easy_init();
        curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Collect);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, static_cast<void *>(&answer));
        if (curl_easy_perform(handle) != CURLE_OK)
            throw std::runtime_error("bare request failed: " + url);
        curl_easy_cleanup(handle);
    }
}

// The same through the host's guarded entries, with the plugins' options.
void GuardedLoop(const std::vector<std::string> &urls) {
    for (const std::string &url : urls) {
        std::string answer;
        CURL *handle = HostCurlEasyInit();
        HostCurlEasySetopt(handle, CURLOPT_URL, url.c_str());
        HostCurlEasySetopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
        HostCurlEasySetopt(handle, CURLOPT_MAXREDIRS, 3L);
        HostCurlEasySetopt(handle, CURLOPT_FAILONERROR, 1L);
        curl_write_callback write = &Collect;
        HostCurlEasySetopt(handle, CURLOPT_WRITEFUNCTION, write);
        HostCurlEasySetopt(handle, CURLOPT_WRITEDATA, static_cast<void *>(&answer));
        HostCurlEasySetopt(handle, CURLOPT_NOPROGRESS, 1L);
        if (HostCurlEasyPerform(handle) != CURLE_OK)
            throw std::runtime_error("guarded request failed: " + url);
        HostCurlEasyCleanup(handle);
    }
}

// What the plugins do with each answer besides fetching it: TinyXML reads
// the whole answer into a fresh document (row and column tracking off, as in
// the plugins) and the document is freed; nothing is walked.
void ParseLoop(const std::string &answer, size_t times) {
    for (size_t i = 0; i < times; ++i) {
        TiXmlDocument document;
        document.SetTabSize(0);
        document.Parse(answer.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
        if (document.Error())
            throw std::runtime_error("the bench feed does not parse");
    }
}

// The host as the program starts it (data folder, settings, show and seen
// lists, libcurl) with both RSS plugins loaded through the loader; made once.
struct Host {
    bench::TempFolder data;
    HttpServer server;
    int ezSlot = -1, genericSlot = -1;

    Host() {
        std::string address = server.Address();
        server.On("*", Ok(Feed(address), "application/rss+xml"));
        bench::WriteFile(data / "plugins.ini",
                         "[ezrss]\nurl=" + address + "\n[generic]\nurl=" + address + "\n");
        // shows.conf written by the host's own writer.
        for (int i = 0; i < kShows; ++i) {
            Show *show = NewShow();
            std::snprintf(show->ShowName, sizeof show->ShowName, "Bench Show %d", i);
            show->Season = 1;
            show->Episode = 1;
            AddShow(show);
        }
        if (!SaveShows((data / "shows.conf").c_str()))
            throw std::runtime_error("cannot write shows.conf");
        ClearShows();
        std::string seen;
        for (int i = 0; i < kItems; ++i)
            seen += FeedTitle(i) + "=4102444800\r\n";  // far in the future: never expires
        bench::WriteFile(data / "seen.conf", seen);

        static char name[] = "bench_pass";
        static char *argv[] = {name, nullptr};
        if (StartupBeforeWindow(1, argv, data.Path().c_str()) >= 0)
            throw std::runtime_error("host start-up failed");
        if (ShowCount() != kShows)
            throw std::runtime_error("shows.conf was not read");
        if (!LoadPlugin(QLN_EZRSS_PATH) || !LoadPlugin(QLN_GENERIC_PATH))
            throw std::runtime_error("cannot load the RSS plugins");
        for (int i = 0; i < kPluginSlots; ++i) {
            if (!g_pluginSlots[i].plugin)
                continue;
            if (std::string(g_pluginSlots[i].plugin->type) == "BitTorrent")
                ezSlot = i;
            else
                genericSlot = i;
        }
    }
    ~Host() {
        ExitBeginShutdown();
        UnloadPlugins();
        ExitRelease();
    }

    void EnableOnly(int slot) {
        for (int i = 0; i < kPluginSlots; ++i)
            g_pluginSlots[i].enabled = i == slot;
    }

    // One pass that records the requests it makes.
    std::vector<std::string> RecordPass() {
        size_t before = server.RequestCount();
        RunCheck();
        std::vector<RecordedRequest> requests = server.Requests();
        std::vector<std::string> urls;
        for (size_t i = before; i < requests.size(); ++i)
            urls.push_back(server.Url(requests[i].target));
        return urls;
    }
};

Host &TheHost() {
    static Host host;
    return host;
}

void PassVsFloor(benchmark::State &state, bool ezRSS) {
    Host &host = TheHost();
    host.EnableOnly(ezRSS ? host.ezSlot : host.genericSlot);
    const std::vector<std::string> urls = host.RecordPass();
    if (urls.size() != 2 * kShows) {
        state.SkipWithError("the pass did not make two searches per show");
        return;
    }
    const std::string answer = Feed(host.server.Address());
    std::vector<double> pass, floor, guarded, ratio, guardedRatio, parseRatio, passCpu, floorCpu;
    int round = 0;
    for (auto _ : state) {
        double p = 0, f = 0, g = 0, pc = 0, fc = 0;
        // Alternate the order so that neither side always runs on a warm cache.
        for (int step = 0; step < 3; ++step) {
            int which = (step + round) % 3;
            double cpuStart = ThreadCpuSeconds();
            auto start = bench::Clock::now();
            if (which == 0)
                RunCheck();
            else if (which == 1)
                BareLoop(urls);
            else
                GuardedLoop(urls);
            double seconds = bench::Seconds(start, bench::Clock::now());
            double cpu = ThreadCpuSeconds() - cpuStart;
            (which == 0 ? p : which == 1 ? f : g) = seconds;
            if (which == 0)
                pc = cpu;
            else if (which == 1)
                fc = cpu;
        }
        // The same number of parses, timed apart from the requests.
        auto parseStart = bench::Clock::now();
        ParseLoop(answer, urls.size());
        double parse = bench::Seconds(parseStart, bench::Clock::now());
        state.SetIterationTime(p);
        pass.push_back(p * 1e3);
        floor.push_back(f * 1e3);
        guarded.push_back(g * 1e3);
        ratio.push_back(p / f);
        guardedRatio.push_back(g / f);
        parseRatio.push_back((f + parse) / f);
        passCpu.push_back(pc * 1e3);
        floorCpu.push_back(fc * 1e3);
        ++round;
    }
    bench::Report(state, bench::Median(pass), bench::Median(floor), bench::Median(ratio));
    state.counters["guarded_ratio"] = bench::Median(guardedRatio);
    // The floor plus TinyXML reading every answer once: what no pass that
    // parses its answers can go below.
    state.counters["floor_plus_parse_ratio"] = bench::Median(parseRatio);
    state.counters["requests"] = static_cast<double>(urls.size());
    // CPU time of the calling thread alone (the server runs on others).
    state.counters["pass_cpu_ms"] = bench::Median(passCpu);
    state.counters["floor_cpu_ms"] = bench::Median(floorCpu);
}

}  // namespace

BENCHMARK_CAPTURE(PassVsFloor, ezRSS, true)->UseManualTime()->Iterations(kRounds)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PassVsFloor, generic, false)->UseManualTime()->Iterations(kRounds)->Unit(benchmark::kMillisecond);
