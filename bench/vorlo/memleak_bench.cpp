// The tracker's cost per free + allocation pair with 10, 1,000 and 100,000
// live blocks: finding a block goes through a hash index, so the three
// figures should be about the same.
#include "vorlo/memleak.h"

#include <benchmark/benchmark.h>

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
