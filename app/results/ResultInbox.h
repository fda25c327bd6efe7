#pragma once

// What a worker thread leaves for the main thread. The worker puts results
// in under a lock and wakes the main thread only when the inbox was empty;
// the main thread takes them all at once. The results themselves never ride
// on the event queue, so every hand-over is ordered by the one lock.

#include <mutex>
#include <utility>
#include <vector>

template <typename Result>
class ResultInbox {
public:
    // Any thread. True when the main thread has to be woken for it.
    bool put(Result result) {
        std::lock_guard lock(mutex_);
        results_.push_back(std::move(result));
        return results_.size() == 1;
    }
    std::vector<Result> takeAll() {
        std::lock_guard lock(mutex_);
        return std::exchange(results_, {});
    }

private:
    std::mutex mutex_;
    std::vector<Result> results_;
};
