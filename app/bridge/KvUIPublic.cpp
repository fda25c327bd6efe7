#include "KvUIPublic.h"

#include <QTimer>

#include "KvJoinedThreads.h"
#include "KvNotificationCenter.h"

void KvUIPublic::NotifyMainThread(const QString& name, const QVariant& object) {
    KvNotificationCenter* center = KvNotificationCenter::defaultCenter();
    if (!object.isValid()) {
        center->enqueuePost(name);
        return;
    }
    center->enqueue([center, name, object] { center->post(name, object); });
}

namespace {

KvJoinedThreads& RequestThreads() {
    static KvJoinedThreads threads([] { RequestThreads().joinAll(); });
    return threads;
}

}  // namespace

void KvUIPublic::NotifyMainThreadByPostKey(const QString& name, std::function<void()> work) {
    RequestThreads().start([name, work = std::move(work)] {
        if (work)
            work();
        NotifyMainThread(name);
    });
}

void KvUIPublic::NotifyMainThreadLater(int delayMs, std::function<void()> action) {
    KvNotificationCenter* center = KvNotificationCenter::defaultCenter();
    // The timer is made on the main thread, which has the event loop.
    center->enqueue([center, delayMs, action = std::move(action)] {
        QTimer::singleShot(delayMs, center, action);
    });
}
