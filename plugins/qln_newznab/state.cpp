#include "state.h"

#include <vorlo/platform.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

constexpr size_t kMaxTimes = 100000;  // far above one request a second for a day

std::string TimeList(const std::vector<int64_t> &times) {
    std::string text;
    for (int64_t t : times) {
        if (!text.empty())
            text += ',';
        text += std::to_string(t);
    }
    return text;
}

std::vector<int64_t> ParseTimes(const std::string &text) {
    std::vector<int64_t> times;
    const char *p = text.c_str();
    while (*p && times.size() < kMaxTimes) {
        char *end = nullptr;
        long long value = std::strtoll(p, &end, 10);
        if (end == p)
            break;
        if (value > 0)
            times.push_back(value);
        p = *end == ',' ? end + 1 : end;
    }
    std::sort(times.begin(), times.end());
    return times;
}

size_t CountAfter(const std::vector<int64_t> &times, int64_t after) {
    return static_cast<size_t>(times.end() - std::upper_bound(times.begin(), times.end(), after));
}

}  // namespace

void PruneState(IndexerState &state, int64_t now) {
    for (std::vector<int64_t> *times : {&state.api, &state.grabs}) {
        auto keep = std::upper_bound(times->begin(), times->end(), now - kBudgetWindowSeconds);
        times->erase(times->begin(), keep);
        if (times->size() > kMaxTimes)
            times->erase(times->begin(), times->end() - kMaxTimes);
    }
}

void CountRequest(IndexerState &state, Budget kind, int64_t now) {
    PruneState(state, now);
    if (kind == Budget::Api) {
        state.api.push_back(now);
        ++state.remote.apiSince;
    } else {
        state.grabs.push_back(now);
        ++state.remote.grabsSince;
    }
}

int64_t BudgetBlockedUntil(const IndexerState &state, Budget kind, int daily, int64_t now) {
    const std::vector<int64_t> &times = kind == Budget::Api ? state.api : state.grabs;
    int64_t until = 0;
    // The user's own budget: `daily` requests in any 24 hours.
    if (daily > 0) {
        size_t inWindow = CountAfter(times, now - kBudgetWindowSeconds);
        if (inWindow >= size_t(daily)) {
            // Frees up when the oldest request that keeps it full leaves the window.
            int64_t oldest = times[times.size() - size_t(daily)];
            until = oldest + kBudgetWindowSeconds;
        }
    }
    // The indexer's own counts, plus what was sent since it gave them.
    const RemoteLimits &r = state.remote;
    int current = kind == Budget::Api ? r.apiCurrent : r.grabCurrent;
    int max = kind == Budget::Api ? r.apiMax : r.grabMax;
    // A full count holds until the oldest counted request leaves the
    // indexer's window, when the answer said when that was (never more than a
    // day after the answer); otherwise for an hour, and the next answer says
    // more.
    int64_t oldest = kind == Budget::Api ? r.apiOldest : r.grabOldest;
    int64_t holds = r.at + kRemoteCountsSeconds;
    if (oldest > 0 && oldest + kBudgetWindowSeconds > r.at)
        holds = std::min(oldest + kBudgetWindowSeconds, r.at + kBudgetWindowSeconds);
    if (r.at > 0 && now < holds && max > 0 && current >= 0) {
        long long used = static_cast<long long>(current) + (kind == Budget::Api ? r.apiSince : r.grabsSince);
        if (used >= max)
            until = std::max(until, holds);
    }
    return until > now ? until : 0;
}

std::string StateText(const IndexerState (&rows)[kIndexerRows]) {
    std::string text;
    for (int row = 0; row < kIndexerRows; ++row) {
        const IndexerState &s = rows[row];
        text += "[" + IndexerSection(row) + "]\n";
        text += "paused=" + std::to_string(s.pausedUntil) + "\n";
        text += "api=" + TimeList(s.api) + "\n";
        text += "grabs=" + TimeList(s.grabs) + "\n";
        char limits[200];
        std::snprintf(limits, sizeof limits, "%lld %d %d %d %d %d %d %lld %lld", static_cast<long long>(s.remote.at),
                      s.remote.apiCurrent, s.remote.apiMax, s.remote.grabCurrent, s.remote.grabMax,
                      s.remote.apiSince, s.remote.grabsSince, static_cast<long long>(s.remote.apiOldest),
                      static_cast<long long>(s.remote.grabOldest));
        text += std::string("limits=") + limits + "\n";
    }
    return text;
}

void ParseStateText(const std::string &text, IndexerState (&rows)[kIndexerRows]) {
    for (IndexerState &s : rows)
        s = IndexerState();
    std::istringstream lines(text);
    std::string line;
    int row = -1;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            row = -1;
            for (int r = 0; r < kIndexerRows; ++r)
                if (line.substr(1, line.size() - 2) == IndexerSection(r))
                    row = r;
            continue;
        }
        size_t eq = line.find('=');
        if (row < 0 || eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        IndexerState &s = rows[row];
        if (key == "paused") {
            s.pausedUntil = std::strtoll(value.c_str(), nullptr, 10);
        } else if (key == "api") {
            s.api = ParseTimes(value);
        } else if (key == "grabs") {
            s.grabs = ParseTimes(value);
        } else if (key == "limits") {
            // The two oldest-request times were added later: a file without
            // them reads as before.
            long long at = 0, apiOldest = 0, grabOldest = 0;
            RemoteLimits r;
            int read = std::sscanf(value.c_str(), "%lld %d %d %d %d %d %d %lld %lld", &at, &r.apiCurrent, &r.apiMax,
                                   &r.grabCurrent, &r.grabMax, &r.apiSince, &r.grabsSince, &apiOldest, &grabOldest);
            if (read == 7 || read == 9) {
                r.at = at;
                r.apiOldest = read == 9 ? apiOldest : 0;
                r.grabOldest = read == 9 ? grabOldest : 0;
                s.remote = r;
            }
        }
    }
}

void LoadState(const std::string &path, IndexerState (&rows)[kIndexerRows]) {
    std::string text;
    if (FILE *file = PlatformOpenFile(path.c_str(), "rb")) {
        char block[4096];
        size_t n;
        while ((n = std::fread(block, 1, sizeof block, file)) > 0 && text.size() < (64u << 20))
            text.append(block, n);
        std::fclose(file);
    }
    ParseStateText(text, rows);
}

bool SaveState(const std::string &path, const IndexerState (&rows)[kIndexerRows]) {
    if (!PlatformFileExists(path.c_str())) {
        // Created empty and private first: the atomic replacement keeps the mode.
        if (FILE *file = PlatformCreateFile(path.c_str()))
            std::fclose(file);
    }
    std::string text = StateText(rows);
    return PlatformWriteFileAtomic(path.c_str(), text.data(), text.size());
}
