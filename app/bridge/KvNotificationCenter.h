#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>

// The application's one notification centre. It lives on the main thread and
// emits every notification there; windows observe it by name.
class KvNotificationCenter : public QObject {
    Q_OBJECT

public:
    // The centre of the process; needs a QCoreApplication.
    static KvNotificationCenter* defaultCenter();

    // Emits the notification at once: call on the main thread only.
    void post(const QString& name, const QVariant& object = {});

    // Calls `handler` with the object of every notification named `name`
    // until `context` is destroyed.
    QMetaObject::Connection observe(const QString& name, const QObject* context,
                                    std::function<void(const QVariant&)> handler);

signals:
    void notified(const QString& name, const QVariant& object);

private:
    KvNotificationCenter() = default;
};
