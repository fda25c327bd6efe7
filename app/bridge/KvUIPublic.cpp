#include "KvUIPublic.h"

#include <QMetaObject>
#include <QThreadPool>
#include <QTimer>

#include "KvNotificationCenter.h"

void KvUIPublic::NotifyMainThread(const QString& name, const QVariant& object) {
    KvNotificationCenter* center = KvNotificationCenter::defaultCenter();
    QMetaObject::invokeMethod(
        center, [center, name, object] { center->post(name, object); }, Qt::QueuedConnection);
}

void KvUIPublic::NotifyMainThreadByPostKey(const QString& name, std::function<void()> work) {
    QThreadPool::globalInstance()->start([name, work = std::move(work)] {
        if (work)
            work();
        NotifyMainThread(name);
    });
}

void KvUIPublic::NotifyMainThreadLater(int delayMs, std::function<void()> action) {
    KvNotificationCenter* center = KvNotificationCenter::defaultCenter();
    // The timer is made on the main thread, which has the event loop.
    QMetaObject::invokeMethod(
        center,
        [center, delayMs, action = std::move(action)] {
            QTimer::singleShot(delayMs, center, action);
        },
        Qt::QueuedConnection);
}
