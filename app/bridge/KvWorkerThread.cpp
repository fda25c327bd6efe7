#include "KvWorkerThread.h"

KvWorkerThread::KvWorkerThread(std::function<void()> work, size_t stackSize)
    : work_(std::move(work)) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize != 0)
        pthread_attr_setstacksize(&attributes, stackSize);
    started_ = pthread_create(&thread_, &attributes, &KvWorkerThread::Run, this) == 0;
    pthread_attr_destroy(&attributes);
    if (!started_)
        finished_ = true;
}

KvWorkerThread::~KvWorkerThread() {
    join();
}

void KvWorkerThread::join() {
    if (started_ && !joined_) {
        pthread_join(thread_, nullptr);
        joined_ = true;
    }
}

void* KvWorkerThread::Run(void* self) {
    auto* worker = static_cast<KvWorkerThread*>(self);
    worker->work_();
    worker->finished_ = true;
    return nullptr;
}
