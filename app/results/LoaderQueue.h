#pragma once

// The worker of a picture loader: jobs run one after another on a thread of
// their own, each queued in a generation that every stop raises. A job of an
// earlier generation skips its work, and what it left is told apart by its
// generation and dropped.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "SerialJobQueue.h"

class LoaderQueue {
public:
    // Queues `job`; the worker calls it with the generation it was queued
    // in, which it hands to isWanted before each piece of work.
    void add(std::function<void(uint64_t generation)> job);
    // Drops the waiting jobs and waits for the one in hand; a new generation
    // begins.
    void stopAndWait();
    // Worker side: false once `generation` has been stopped.
    bool isWanted(uint64_t generation) const { return wanted_.load() == generation; }
    uint64_t generation() const { return generation_; }
    // -1 before the first job, 0 while jobs wait or run, 2 after.
    int state() const;
    // Jobs waiting plus the one running.
    size_t operationCount() const { return queue_.operationCount(); }

private:
    uint64_t generation_ = 0;
    std::atomic<uint64_t> wanted_{0};
    bool started_ = false;
    SerialJobQueue queue_;
};
