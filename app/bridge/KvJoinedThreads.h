#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "KvWorkerThread.h"

// Threads started on the application's behalf. Finished ones are let go as
// others start; those left are joined when the application object goes, before
// the static objects they may still use. Kept as a function's static object
// that names itself to be joined at the end:
//     KvJoinedThreads& Requests() {
//         static KvJoinedThreads threads([] { Requests().joinAll(); });
//         return threads;
//     }
class KvJoinedThreads {
public:
    // `joinAtTheEnd` runs when the application object goes.
    explicit KvJoinedThreads(void (*joinAtTheEnd)());
    KvJoinedThreads(const KvJoinedThreads&) = delete;
    KvJoinedThreads& operator=(const KvJoinedThreads&) = delete;

    // Starts `work` on a thread of its own; `stackSize` 0 keeps the default stack.
    void start(std::function<void()> work, size_t stackSize = 0);
    // Whether every thread started so far has ended.
    bool finished();
    // Waits until every thread has ended, at most until `deadline`.
    bool waitUntilFinished(std::chrono::steady_clock::time_point deadline);
    // Joins every thread started so far.
    void joinAll();

private:
    std::mutex lock_;
    std::vector<std::unique_ptr<KvWorkerThread>> threads_;
};
