#pragma once
// The p50, p99 and maximum of a set of timings, as a benchmark's counters in microseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace ups::bench {

inline void reportPercentiles(benchmark::State& state, std::vector<double> micros) {
    if (micros.empty()) return;
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) {
        return micros[std::min(micros.size() - 1, static_cast<std::size_t>(q * micros.size()))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = micros.back();
}

}  // namespace ups::bench
