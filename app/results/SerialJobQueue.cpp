#include "SerialJobQueue.h"

#include <utility>

SerialJobQueue::~SerialJobQueue() {
    {
        std::lock_guard lock(mutex_);
        jobs_.clear();
        quit_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void SerialJobQueue::add(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (!thread_.joinable())
            thread_ = std::thread(&SerialJobQueue::run, this);
    }
    wake_.notify_one();
}

void SerialJobQueue::cancelAllAndWait() {
    std::unique_lock lock(mutex_);
    jobs_.clear();
    idle_.wait(lock, [this] { return !busy_; });
}

size_t SerialJobQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return jobs_.size() + (busy_ ? 1 : 0);
}

void SerialJobQueue::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
        if (quit_)
            return;
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        job();
        // The job's captures go before anyone hears that it has ended.
        job = nullptr;
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
}
