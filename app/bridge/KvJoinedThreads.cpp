#include "KvJoinedThreads.h"

#include <QCoreApplication>

#include <algorithm>
#include <thread>

KvJoinedThreads::KvJoinedThreads(void (*joinAtTheEnd)()) {
    qAddPostRoutine(joinAtTheEnd);
}

void KvJoinedThreads::start(std::function<void()> work, size_t stackSize) {
    std::lock_guard hold(lock_);
    std::erase_if(threads_, [](const auto& thread) { return thread->finished(); });
    threads_.push_back(std::make_unique<KvWorkerThread>(std::move(work), stackSize));
}

bool KvJoinedThreads::finished() {
    std::lock_guard hold(lock_);
    return std::all_of(threads_.begin(), threads_.end(),
                       [](const auto& thread) { return thread->finished(); });
}

bool KvJoinedThreads::waitUntilFinished(std::chrono::steady_clock::time_point deadline) {
    while (!finished()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void KvJoinedThreads::joinAll() {
    std::vector<std::unique_ptr<KvWorkerThread>> threads;
    {
        std::lock_guard hold(lock_);
        threads.swap(threads_);
    }
    // Joined without the lock, which a thread may take to start another.
}
