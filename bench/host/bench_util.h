// Small helpers the host benchmarks share: a throwaway folder, file writing,
// medians, and the counters every benchmark reports so that scripts/bench
// can print one table (measured, baseline, ratio).
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes. The path ends in '/'.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillon-bench-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (!mkdtemp(buffer.data()))
            throw std::runtime_error("cannot create a temporary folder");
        path_ = std::string(buffer.data()) + "/";
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &Path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + name; }

private:
    std::string path_;
};

inline void WriteFile(const std::string &path, const std::string &bytes) {
    FILE *out = std::fopen(path.c_str(), "wb");
    if (!out)
        throw std::runtime_error("cannot write " + path);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The counters scripts/bench reads: the median measurement, the median of
// the baseline taken in the same run (0 when there is none) and the median
// of the per-round ratios measured / baseline (0 when there is none). Units
// are those the table names for the benchmark (milliseconds, nanoseconds,
// megabytes).
inline void Report(benchmark::State &state, double measured, double baseline = 0, double ratio = 0) {
    state.counters["measured"] = measured;
    state.counters["baseline"] = baseline;
    state.counters["ratio"] = ratio;
}

}  // namespace bench
