#include "KvUIPublic.h"

#include <QTimer>

#include <memory>
#include <mutex>
#include <vector>

#include "KvNotificationCenter.h"
#include "KvWorkerThread.h"

void KvUIPublic::NotifyMainThread(const QString& name, const QVariant& object) {
    KvNotificationCenter* center = KvNotificationCenter::defaultCenter();
    if (!object.isValid()) {
        center->enqueuePost(name);
        return;
    }
    center->enqueue([center, name, object] { center->post(name, object); });
}

void KvUIPublic::NotifyMainThreadByPostKey(const QString& name, std::function<void()> work) {
    // Threads of these requests; finished ones are let go at the next request
    // and the rest joined at exit.
    static std::mutex lock;
    static std::vector<std::unique_ptr<KvWorkerThread>> threads;
    std::lock_guard hold(lock);
    std::erase_if(threads, [](const auto& thread) { return thread->finished(); });
    threads.push_back(std::make_unique<KvWorkerThread>(
        [name, work = std::move(work)] {
            if (work)
                work();
            NotifyMainThread(name);
        },
        0));
}

void KvUIPublic::NotifyMainThreadLater(int delayMs, std::function<void()> action) {
    KvNotificationCenter* center = KvNotificationCenter::defaultCenter();
    // The timer is made on the main thread, which has the event loop.
    center->enqueue([center, delayMs, action = std::move(action)] {
        QTimer::singleShot(delayMs, center, action);
    });
}
