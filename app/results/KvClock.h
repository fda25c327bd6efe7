#pragma once

// Time as the results window reads it: the wall clock in milliseconds and
// timers that call back on the main thread. Tests hand the window a clock
// they move by hand, so seconds of quiet take no seconds to test.

#include <QtGlobal>

#include <functional>
#include <memory>

// A running timer; destroying it stops it, also from inside its own tick.
class KvClockTimer {
public:
    virtual ~KvClockTimer() = default;
    // False once a one-shot timer has fired.
    virtual bool isActive() const = 0;
    virtual int interval() const = 0;
};

class KvClock {
public:
    virtual ~KvClock() = default;

    // The real clock.
    static KvClock& system();

    // Milliseconds since 1970.
    virtual qint64 nowMs() = 0;
    // Calls `tick` after `ms`, and every `ms` after that when `repeating`,
    // until the timer is destroyed.
    virtual std::unique_ptr<KvClockTimer> start(int ms, bool repeating,
                                                std::function<void()> tick) = 0;
};
