#pragma once

#include <QString>
#include <QVariant>

#include <functional>

// Posting from any thread to the notification centre on the main thread.
class KvUIPublic {
public:
    // Queues the post on the main thread and returns at once; posts from one
    // thread arrive in the order they were queued, and a name still waiting
    // to be posted is posted once.
    static void NotifyMainThread(const QString& name, const QVariant& object = {});
    // Runs `work` on a thread of its own, then queues the post: it never arrives
    // before `work` has returned.
    static void NotifyMainThreadByPostKey(const QString& name, std::function<void()> work);
    // Queues the post to be made after `delayMs` on the main thread.
    static void NotifyMainThreadLater(int delayMs, std::function<void()> action);
};
