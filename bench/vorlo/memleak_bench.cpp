// The tracker's cost per free + allocation pair with 10, 1,000 and 100,000
// live blocks: finding a block goes through an index whose cost does not
// grow with the number of blocks, so the figures differ only by what a large
// set of live blocks costs the caches.
#include "vorlo/memleak.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

static void FreeAllocPair(benchmark::State &state) {
    const size_t live = static_cast<size_t>(state.range(0));
    std::vector<void *> blocks(live);
    for (auto &b : blocks)
        b = ZMALLOC(32);
    size_t next = 0;
    for (auto _ : state) {
        // Free blocks in allocation order (the oldest first), so a search
        // along the registry would have to walk the whole list.
        ZFREE(blocks[next]);
        blocks[next] = ZMALLOC(32);
        benchmark::DoNotOptimize(blocks[next]);
        next = next + 1 == live ? 0 : next + 1;
    }
    for (void *b : blocks)
        ZFREE(b);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(FreeAllocPair)->Arg(10)->Arg(1000)->Arg(100000);

static void ReallocGrowShrink(benchmark::State &state) {
    const size_t live = static_cast<size_t>(state.range(0));
    std::vector<void *> blocks(live);
    for (auto &b : blocks)
        b = ZMALLOC(32);
    size_t next = 0;
    bool grow = true;
    for (auto _ : state) {
        blocks[next] = ZREALLOC(blocks[next], grow ? 64 : 32);
        benchmark::DoNotOptimize(blocks[next]);
        next = next + 1 == live ? 0 : next + 1;
        if (next == 0)
            grow = !grow;
    }
    for (void *b : blocks)
        ZFREE(b);
}
BENCHMARK(ReallocGrowShrink)->Arg(10)->Arg(1000)->Arg(100000);

// zfree alone with 100,000 live tracked blocks against zfree with 10, in
// alternating phases of the same run. Each step frees the ten oldest live
// blocks (timed) and allocates ten new ones in their place (not timed), so
// the number of live blocks stays put. Reported: measured = ns per zfree
// with 100,000 live blocks, baseline = ns per zfree with 10, ratio = their
// quotient (median of the phases).
namespace {

double FreeNanoseconds(size_t live, size_t frees) {
    constexpr size_t kBatch = 10;
    std::vector<void *> blocks(live);
    for (auto &b : blocks)
        b = ZMALLOC(32);
    size_t oldest = 0;
    std::chrono::steady_clock::duration spent{};
    for (size_t done = 0; done < frees; done += kBatch) {
        auto start = std::chrono::steady_clock::now();
        for (size_t k = 0; k < kBatch; ++k)
            ZFREE(blocks[(oldest + k) % live]);
        spent += std::chrono::steady_clock::now() - start;
        for (size_t k = 0; k < kBatch; ++k)
            blocks[(oldest + k) % live] = ZMALLOC(32);
        oldest = (oldest + kBatch) % live;
    }
    for (void *b : blocks)
        ZFREE(b);
    return std::chrono::duration<double, std::nano>(spent).count() / static_cast<double>(frees);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace

static void FreeManyVsFew(benchmark::State &state) {
    std::vector<double> many, few, ratio;
    for (auto _ : state) {
        double f = FreeNanoseconds(10, 200000);
        double m = FreeNanoseconds(100000, 200000);
        few.push_back(f);
        many.push_back(m);
        ratio.push_back(m / f);
        state.SetIterationTime(m * 200000 * 1e-9);
    }
    state.counters["measured"] = Median(many);
    state.counters["baseline"] = Median(few);
    state.counters["ratio"] = Median(ratio);
}
BENCHMARK(FreeManyVsFew)->UseManualTime()->Iterations(9);
