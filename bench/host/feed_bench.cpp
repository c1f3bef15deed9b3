// Reading and walking a 10,000-item RSS answer the way the RSS plugins do:
// the plugin frame's own sequence (the answer appended block by block as
// libcurl hands it over, one TinyXML parse, "rss" -> "channel" -> each
// "item", its title and the host's seen-list test), with every item already
// seen so that the whole answer is walked. The transfer is replaced by an
// in-memory stand-in that delivers the bytes in libcurl's 16 KiB blocks; the
// seen list is the host's own, holding the 10,000 titles.
//
// The baseline, in the same run: Python's feedparser (Debian's
// python3-feedparser, run by /usr/bin/python3) parsing the same bytes; the
// Python process times only feedparser.parse and prints that time.
//
// Reported: measured = our read and walk in ms, baseline = feedparser in ms,
// ratio = feedparser / ours (how many times faster; median of the rounds).
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_util.h"
#include "clock.h"
#include "frame.h"
#include "hostapi.h"
#include "rss.h"
#include "seenlist.h"

namespace {

constexpr int kItems = 10000;
constexpr int kRounds = 3;
constexpr int kOwnRunsPerRound = 7;
constexpr size_t kCurlBlock = 16384;  // CURL_MAX_WRITE_SIZE

std::string Title(int i) {
    return "Some.Show." + std::to_string(i / 20) + ".S0" + std::to_string(1 + i % 9) + "E" +
           std::to_string(10 + i % 20) + ".720p.HDTV.x264-GROUP" + std::to_string(i % 20);
}

std::string Answer() {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
        "<title>Index search</title>\n<link>http://index.example/</link>\n"
        "<description>Search results</description>\n";
    for (int i = 0; i < kItems; ++i) {
        std::string id = std::to_string(i);
        xml += "<item>\n<title>" + Title(i) + "</title>\n";
        xml += "<link>http://index.example/release/" + id + "/</link>\n";
        xml += "<guid isPermaLink=\"false\">release-" + id + "</guid>\n";
        xml += "<description>&lt;b&gt;Size:&lt;/b&gt; 1.2 GB, 45 files, posted by poster@example.org "
               "in alt.binaries.example</description>\n";
        xml += "<pubDate>Mon, 07 Dec 2026 09:00:00 +0000</pubDate>\n";
        xml += "<enclosure url=\"http://index.example/download/" + id +
               ".nzb\" length=\"1288490188\" type=\"application/x-nzb\"/>\n</item>\n";
    }
    return xml + "</channel>\n</rss>\n";
}

// The in-memory transfer: hands `gAnswer` to the write callback in blocks.
const std::string *gAnswer = nullptr;
curl_write_callback gWrite = nullptr;
void *gWriteData = nullptr;
int gHandle = 0;

CURL *FakeInit() { return reinterpret_cast<CURL *>(&gHandle); }

CURLcode FakeSetopt(CURL *, CURLoption option, ...) {
    va_list args;
    va_start(args, option);
    if (option == CURLOPT_WRITEFUNCTION)
        gWrite = va_arg(args, curl_write_callback);
    else if (option == CURLOPT_WRITEDATA)
        gWriteData = va_arg(args, void *);
    va_end(args);
    return CURLE_OK;
}

CURLcode FakePerform(CURL *) {
    std::vector<char> block(kCurlBlock);
    for (size_t at = 0; at < gAnswer->size(); at += kCurlBlock) {
        size_t n = std::min(kCurlBlock, gAnswer->size() - at);
        block.assign(gAnswer->begin() + static_cast<std::ptrdiff_t>(at),
                     gAnswer->begin() + static_cast<std::ptrdiff_t>(at + n));
        if (gWrite(block.data(), 1, n, gWriteData) != n)
            return CURLE_WRITE_ERROR;
    }
    return CURLE_OK;
}

void FakeCleanup(CURL *) {}

// One read and walk; returns the number of items visited.
int ReadAndWalk() {
    int visited = 0, fresh = 0;
    RssSearch search;
    search.visitItem = [&](const TiXmlElement &item) {
        ++visited;
        const char *release = ReleaseName(item);
        if (release && IsNewRelease(release))
            ++fresh;
        return true;
    };
    RunRssSearch("http://index.example/rss/?q=Some%20Show", search);
    return fresh == 0 ? visited : -1;
}

// feedparser's own time for one parse of the file, in seconds.
double FeedparserSeconds(const std::string &file) {
    std::string command =
        "/usr/bin/python3 -c '"
        "import sys, time, feedparser\n"
        "data = open(sys.argv[1], \"rb\").read()\n"
        "start = time.perf_counter()\n"
        "parsed = feedparser.parse(data)\n"
        "spent = time.perf_counter() - start\n"
        "assert len(parsed.entries) == int(sys.argv[2]), len(parsed.entries)\n"
        "print(spent)\n"
        "' " + file + " " + std::to_string(kItems);
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    double seconds = -1;
    if (std::fscanf(pipe, "%lf", &seconds) != 1)
        seconds = -1;
    return pclose(pipe) == 0 ? seconds : -1;
}

void FeedWalkVsFeedparser(benchmark::State &state) {
    bench::TempFolder folder;
    const std::string answer = Answer();
    bench::WriteFile(folder / "answer.xml", answer);
    gAnswer = &answer;

    QLN_CURL_API curl = *GetHostCurlApi();
    curl.curl_easy_init = &FakeInit;
    curl.curl_easy_setopt = &FakeSetopt;
    curl.curl_easy_perform = &FakePerform;
    curl.curl_easy_cleanup = &FakeCleanup;
    QLN_HOST_API host = *GetHostApi();
    host.Curl = &curl;
    FrameSetHost(&host);
    {
        MutexHold hold(SeenListLock);
        SeenList.clear();
        for (int i = 0; i < kItems; ++i)
            SeenList[Title(i)] = HostNow();
    }

    std::vector<double> ours, theirs, ratio;
    for (auto _ : state) {
        std::vector<double> runs;
        for (int run = 0; run < kOwnRunsPerRound; ++run) {
            auto start = bench::Clock::now();
            int visited = ReadAndWalk();
            runs.push_back(bench::Seconds(start, bench::Clock::now()));
            if (visited != kItems) {
                state.SkipWithError("the walk did not see every item as seen");
                return;
            }
        }
        double own = bench::Median(runs);
        double python = FeedparserSeconds(folder / "answer.xml");
        if (python <= 0) {
            state.SkipWithError("feedparser did not run (/usr/bin/python3 with python3-feedparser)");
            return;
        }
        state.SetIterationTime(own);
        ours.push_back(own * 1e3);
        theirs.push_back(python * 1e3);
        ratio.push_back(python / own);
    }
    bench::Report(state, bench::Median(ours), bench::Median(theirs), bench::Median(ratio));
    state.counters["answer_MB"] = static_cast<double>(answer.size()) / 1e6;
    MutexHold hold(SeenListLock);
    SeenList.clear();
}

}  // namespace

BENCHMARK(FeedWalkVsFeedparser)->UseManualTime()->Iterations(kRounds)->Unit(benchmark::kMillisecond);
