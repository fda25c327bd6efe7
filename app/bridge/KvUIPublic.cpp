#include "KvUIPublic.h"

#include <QCoreApplication>
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

namespace {

// Threads of the requests below; finished ones are let go at the next request
// and the rest joined when the application object goes, before the static
// objects they may still use.
struct RequestThreads {
    std::mutex lock;
    std::vector<std::unique_ptr<KvWorkerThread>> threads;
};

void JoinRequestThreads();

RequestThreads& TheRequestThreads() {
    static RequestThreads requests;
    static const bool joinedAtTheEnd = [] {
        qAddPostRoutine(JoinRequestThreads);
        return true;
    }();
    (void)joinedAtTheEnd;
    return requests;
}

void JoinRequestThreads() {
    std::vector<std::unique_ptr<KvWorkerThread>> threads;
    {
        RequestThreads& requests = TheRequestThreads();
        std::lock_guard hold(requests.lock);
        threads = std::move(requests.threads);
    }
    // Joined without the lock, which a request's thread may take to start another.
}

}  // namespace

void KvUIPublic::NotifyMainThreadByPostKey(const QString& name, std::function<void()> work) {
    RequestThreads& requests = TheRequestThreads();
    std::lock_guard hold(requests.lock);
    std::vector<std::unique_ptr<KvWorkerThread>>& threads = requests.threads;
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
