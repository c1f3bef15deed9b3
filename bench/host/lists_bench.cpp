// The show data on disk and in memory at sizes far beyond everyday use:
// a seen list of 100,000 entries (LoadSeen + SaveSeen, and IsSeen per call)
// and a shows.conf of 10,000 shows (LoadShows + SaveShows). The saves are
// the real ones, each with its automatic backup; the backups are removed
// between rounds, outside the timing, so that rounds stay alike.
//
// Reported: measured = LoadSeen + SaveSeen or LoadShows + SaveShows in ms,
// or IsSeen in ns per call (median of the rounds).
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "clock.h"
#include "seenlist.h"
#include "settings.h"
#include "showlist.h"

namespace {

constexpr int kSeenEntries = 100000;
constexpr int kShows = 10000;
constexpr int kRounds = 11;

std::string ReleaseName(int i) {
    char name[128];
    std::snprintf(name, sizeof name, "Some.Followed.Show.%05d.S%02dE%02d.720p.HDTV.x264-GROUP", i / 40,
                  1 + i % 7, 1 + i % 23);
    return name + std::to_string(i % 40);
}

void RemoveBackups() {
    std::error_code ignored;
    std::filesystem::remove_all(g_paths.BackupFolder, ignored);
}

// A data folder holding seen.conf with 100,000 entries marked in the last
// few days, so that SaveSeen keeps every one.
struct SeenData {
    bench::TempFolder data;
    std::vector<std::string> names;

    SeenData() {
        SetHostPaths(data.Path().c_str());
        int64_t now = HostNow();
        std::string text;
        for (int i = 0; i < kSeenEntries; ++i) {
            names.push_back(ReleaseName(i));
            char line[200];
            std::snprintf(line, sizeof line, "%s=%" PRId64 "\r\n", names.back().c_str(), now - i % 400000);
            text += line;
        }
        bench::WriteFile(g_paths.SeenConf, text);
    }
};

void SeenLoadSave(benchmark::State &state) {
    SeenData seen;
    std::vector<double> total, load, save;
    for (auto _ : state) {
        auto start = bench::Clock::now();
        LoadSeen();
        auto loaded = bench::Clock::now();
        SaveSeen();
        auto saved = bench::Clock::now();
        state.SetIterationTime(bench::Seconds(start, saved));
        total.push_back(bench::Seconds(start, saved) * 1e3);
        load.push_back(bench::Seconds(start, loaded) * 1e3);
        save.push_back(bench::Seconds(loaded, saved) * 1e3);
        if (SeenList.size() != kSeenEntries) {
            state.SkipWithError("the seen list did not keep every entry");
            return;
        }
        RemoveBackups();
    }
    bench::Report(state, bench::Median(total));
    state.counters["load_ms"] = bench::Median(load);
    state.counters["save_ms"] = bench::Median(save);
}
BENCHMARK(SeenLoadSave)->UseManualTime()->Iterations(kRounds)->Unit(benchmark::kMillisecond);

void SeenIsSeen(benchmark::State &state) {
    SeenData seen;
    LoadSeen();
    // Known names in a random order, every eighth one changed into a miss.
    std::vector<std::string> probes = seen.names;
    std::shuffle(probes.begin(), probes.end(), std::mt19937(7));
    for (size_t i = 0; i < probes.size(); i += 8)
        probes[i] += "-proper";
    size_t next = 0;
    auto start = bench::Clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(IsSeen(probes[next].c_str()));
        next = next + 1 == probes.size() ? 0 : next + 1;
    }
    double ns = bench::Seconds(start, bench::Clock::now()) * 1e9 / static_cast<double>(state.iterations());
    bench::Report(state, ns);
}
BENCHMARK(SeenIsSeen)->MinTime(0.5);

void ShowsLoadSave(benchmark::State &state) {
    bench::TempFolder data;
    SetHostPaths(data.Path().c_str());
    ClearShows();
    for (int i = 0; i < kShows; ++i) {
        Show *show = NewShow();
        std::snprintf(show->ShowName, sizeof show->ShowName, "Followed Show Number %05d", (i * 7919) % kShows);
        if (i % 3 == 0)
            std::snprintf(show->Keywords, sizeof show->Keywords, "720p x264");
        show->Skip = i % 2;
        show->HD_Only = i % 5 == 0;
        show->Season = 1 + i % 12;
        show->Episode = 1 + i % 24;
        show->NextSearch = i % 4 ? 1765000000 + i : 0;
        AddShow(show);
    }
    if (!SaveShows()) {
        state.SkipWithError("cannot write shows.conf");
        return;
    }
    RemoveBackups();
    std::vector<double> total, load, save;
    for (auto _ : state) {
        ClearShows();
        auto start = bench::Clock::now();
        LoadShows();
        auto loaded = bench::Clock::now();
        SaveShows();
        auto saved = bench::Clock::now();
        state.SetIterationTime(bench::Seconds(start, saved));
        total.push_back(bench::Seconds(start, saved) * 1e3);
        load.push_back(bench::Seconds(start, loaded) * 1e3);
        save.push_back(bench::Seconds(loaded, saved) * 1e3);
        if (ShowCount() != kShows) {
            state.SkipWithError("shows.conf did not give back every show");
            return;
        }
        RemoveBackups();
    }
    ClearShows();
    bench::Report(state, bench::Median(total));
    state.counters["load_ms"] = bench::Median(load);
    state.counters["save_ms"] = bench::Median(save);
}
BENCHMARK(ShowsLoadSave)->UseManualTime()->Iterations(kRounds)->Unit(benchmark::kMillisecond);

}  // namespace
