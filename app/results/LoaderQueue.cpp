#include "LoaderQueue.h"

#include <utility>

void LoaderQueue::add(std::function<void(uint64_t generation)> job) {
    started_ = true;
    queue_.add([generation = generation_, job = std::move(job)] { job(generation); });
}

void LoaderQueue::stopAndWait() {
    wanted_ = ++generation_;
    queue_.cancelAllAndWait();
}

int LoaderQueue::state() const {
    if (!started_)
        return -1;
    return queue_.operationCount() > 0 ? 0 : 2;
}
