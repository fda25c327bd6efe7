#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <deque>
#include <functional>
#include <mutex>

// The application's one notification centre. It lives on the main thread and
// emits every notification there; windows observe it by name.
class KvNotificationCenter : public QObject {
    Q_OBJECT

public:
    // The centre of the process; needs a QCoreApplication.
    static KvNotificationCenter* defaultCenter();

    // Emits the notification at once: call on the main thread only.
    void post(const QString& name, const QVariant& object = {});

    // From any thread: has the main thread post `name` (without an object)
    // soon, in the order of the calls. Every call is one post: a caller that
    // posts often limits its own rate.
    void enqueuePost(const QString& name);
    // From any thread: has the main thread run `action` soon, in order.
    void enqueue(std::function<void()> action);

    // Calls `handler` with the object of every notification named `name`
    // until `context` is destroyed.
    QMetaObject::Connection observe(const QString& name, const QObject* context,
                                    std::function<void(const QVariant&)> handler);

signals:
    void notified(const QString& name, const QVariant& object);

private:
    struct Pending {
        QString name;  // empty for an action
        std::function<void()> action;
    };

    KvNotificationCenter() = default;
    void push(Pending pending);
    // Runs on the main thread: posts and runs what is waiting.
    void drain();

    std::mutex lock_;
    std::deque<Pending> pending_;
    bool drainQueued_ = false;
};
