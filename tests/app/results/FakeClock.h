#pragma once

// A clock for the results window's tests: time stands still until the test
// moves it, and the timers that fall due fire then, in order of their time.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "KvClock.h"

class FakeClock : public KvClock {
public:
    // Starts at a fixed date.
    FakeClock() = default;

    qint64 nowMs() override { return now_; }
    std::unique_ptr<KvClockTimer> start(int ms, bool repeating,
                                        std::function<void()> tick) override;

    // Moves time on by `ms`, firing each timer as its time comes.
    void advance(qint64 ms);
    // Timers running now.
    int activeTimers() const;

    struct Entry {
        qint64 due = 0;
        int interval = 0;
        bool repeating = false;
        bool active = true;
        uint64_t order = 0;
        std::function<void()> tick;
    };

private:
    std::shared_ptr<Entry> nextDue(qint64 until) const;

    qint64 now_ = 1'765'400'000'000;  // December 2025
    uint64_t started_ = 0;
    std::vector<std::weak_ptr<Entry>> entries_;
};
