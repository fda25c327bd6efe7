#include "KvNotificationCenter.h"

#include <QCoreApplication>
#include <QThread>

KvNotificationCenter* KvNotificationCenter::defaultCenter() {
    static KvNotificationCenter* center = [] {
        auto* made = new KvNotificationCenter;
        // Whichever thread asks first, the centre belongs to the main thread.
        if (QCoreApplication* app = QCoreApplication::instance())
            made->moveToThread(app->thread());
        return made;
    }();
    return center;
}

namespace {

// Made on the main thread as the application object is built, so worker threads
// only ever find it made.
void MakeCentreOnTheMainThread() {
    KvNotificationCenter::defaultCenter();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(MakeCentreOnTheMainThread)

void KvNotificationCenter::post(const QString& name, const QVariant& object) {
    emit notified(name, object);
}

void KvNotificationCenter::enqueuePost(const QString& name) {
    push({name, {}});
}

void KvNotificationCenter::enqueue(std::function<void()> action) {
    push({QString(), std::move(action)});
}

void KvNotificationCenter::push(Pending pending) {
    bool wake = false;
    {
        std::lock_guard hold(lock_);
        pending_.push_back(std::move(pending));
        wake = !drainQueued_;
        drainQueued_ = true;
    }
    // The data travels through the queue above; the main thread is only woken.
    if (wake)
        QMetaObject::invokeMethod(this, &KvNotificationCenter::drain, Qt::QueuedConnection);
}

void KvNotificationCenter::drain() {
    // One at a time, the rest woken for before this one runs: a handler may
    // run a nested event loop (a modal dialog), which must go on receiving
    // what is posted meanwhile.
    Pending next;
    bool more = false;
    {
        std::lock_guard hold(lock_);
        if (pending_.empty()) {
            drainQueued_ = false;
            return;
        }
        next = std::move(pending_.front());
        pending_.pop_front();
        more = !pending_.empty();
        drainQueued_ = more;
    }
    if (more)
        QMetaObject::invokeMethod(this, &KvNotificationCenter::drain, Qt::QueuedConnection);
    if (next.action)
        next.action();
    else
        post(next.name);
}

QMetaObject::Connection KvNotificationCenter::observe(
    const QString& name, const QObject* context, std::function<void(const QVariant&)> handler) {
    return connect(
        this, &KvNotificationCenter::notified, context,
        [name, handler = std::move(handler)](const QString& posted, const QVariant& object) {
            if (posted == name)
                handler(object);
        });
}
