#pragma once

// Timing of the benchmarks: a task run Rounds times after one warm-up.

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace bryndle::bench {

constexpr int Rounds = 7;

struct Figures {
    double min = 0;
    double median = 0;
};

// Milliseconds; `before` runs ahead of every round, outside the time.
inline Figures measure(const std::function<void()>& task,
                       const std::function<void()>& before = {}) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> times;
    for (int round = 0; round <= Rounds; ++round) {
        if (before)
            before();
        const auto start = Clock::now();
        task();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (round > 0)
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

} // namespace bryndle::bench
