#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QThread>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "KvNotificationCenter.h"

namespace bridgetest {

// Runs the main thread's event loop until `done` answers true; false on timeout.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Lets queued posts arrive for a while.
inline void Pump(int ms) {
    WaitFor([] { return false; }, ms);
}

// Every notification the centre posts while it lives, with whether it came on
// the main thread and what `probe` answered at that moment.
class NotificationLog : public QObject {
public:
    struct Entry {
        QString name;
        bool onMainThread;
        int probe;
    };

    explicit NotificationLog(std::function<int()> probe = [] { return 0; })
        : probe_(std::move(probe)) {
        connect(KvNotificationCenter::defaultCenter(), &KvNotificationCenter::notified, this,
                [this](const QString& name, const QVariant&) {
                    entries.push_back({name, QThread::currentThread() ==
                                                 QCoreApplication::instance()->thread(),
                                       probe_()});
                });
    }

    int Count(const QString& name) const {
        int count = 0;
        for (const Entry& entry : entries)
            count += entry.name == name ? 1 : 0;
        return count;
    }

    std::vector<Entry> entries;

private:
    std::function<int()> probe_;
};

}  // namespace bridgetest
