#pragma once

// Jobs run one after another on one worker thread of their own, started with
// the first job. The owner can drop the jobs still waiting and wait for the
// one in hand to end; the wait blocks on a condition, never polls.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class SerialJobQueue {
public:
    SerialJobQueue() = default;
    // Drops what waits, lets the running job end, and ends the thread.
    ~SerialJobQueue();
    SerialJobQueue(const SerialJobQueue&) = delete;
    SerialJobQueue& operator=(const SerialJobQueue&) = delete;

    void add(std::function<void()> job);
    // Drops the jobs not started yet and returns once no job runs.
    void cancelAllAndWait();
    // Jobs waiting plus the one running.
    size_t operationCount() const;

private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
    bool quit_ = false;
    std::thread thread_;
};
