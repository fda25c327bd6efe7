#pragma once

// Times each run of work the interface waits for and reports the longest as
// "longest_stall_ms".

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

class StallClock {
public:
    template <typename Work>
    void run(Work&& work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        longest_ = std::max(longest_, took.count());
    }
    void report(benchmark::State& state) const { state.counters["longest_stall_ms"] = longest_; }

private:
    double longest_ = 0;
};
