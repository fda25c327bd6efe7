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

void KvNotificationCenter::post(const QString& name, const QVariant& object) {
    emit notified(name, object);
}

QMetaObject::Connection KvNotificationCenter::observe(
    const QString& name, const QObject* context, std::function<void(const QVariant&)> handler) {
    return connect(this, &KvNotificationCenter::notified, context,
                   [name, handler = std::move(handler)](const QString& posted,
                                                        const QVariant& object) {
                       if (posted == name)
                           handler(object);
                   });
}
