#pragma once

// Runs the main thread's events until a condition holds, for tests whose
// work ends on another thread.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

// False when `done` still answers false after `timeoutMs`.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}
