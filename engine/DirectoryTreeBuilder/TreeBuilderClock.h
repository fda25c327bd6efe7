#pragma once

#include <chrono>

#include "DirectoryTreeBuilder.h"

// The builder's sense of time: when a running scan hands its next batch over,
// and the pause after a new tree is announced. Tests replace it so they never
// sleep.
class ITreeBuilderClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~ITreeBuilderClock() = default;
    virtual TimePoint Now() = 0;
    virtual void Wait(std::chrono::milliseconds duration) = 0;
};

// A builder that takes its time from `clock`, which must outlive it (null:
// the steady clock, and real waits).
IDirecotryTreeBuilder* CreateTreeBuilder(bool restoring, ITreeBuilderClock* clock,
                                         std::chrono::milliseconds setupPause = kTreeSetupPause);
