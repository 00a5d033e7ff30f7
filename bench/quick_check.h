#pragma once
// CI runs every benchmark once, briefly, so that one that crashes fails the build's tests; its figures
// are not judged there. VARNEL_BENCH_QUICK (set by that run) cuts a benchmark's fixed iteration count
// to a hundredth, at least one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>

inline benchmark::IterationCount benchIterations(benchmark::IterationCount full) {
    if (std::getenv("VARNEL_BENCH_QUICK") == nullptr) return full;
    return std::max<benchmark::IterationCount>(1, full / 100);
}
