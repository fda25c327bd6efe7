#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <functional>

// One worker thread with a chosen stack size, joined by its owner.
class KvWorkerThread {
public:
    // Starts `work` at once; `stackSize` 0 keeps the default stack.
    KvWorkerThread(std::function<void()> work, size_t stackSize);
    // Waits for the work to end.
    ~KvWorkerThread();
    KvWorkerThread(const KvWorkerThread&) = delete;
    KvWorkerThread& operator=(const KvWorkerThread&) = delete;

    bool started() const { return started_; }
    bool finished() const { return finished_.load(); }
    void join();

private:
    static void* Run(void* self);

    std::function<void()> work_;
    pthread_t thread_{};
    bool started_ = false;
    bool joined_ = false;
    std::atomic<bool> finished_{false};
};
