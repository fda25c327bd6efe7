#pragma once

// A scripted bridge whose previews can be slow and that records how many run
// at once, and a short wait for the main thread.

#include <QCoreApplication>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "FakeFacade.h"

namespace loadertest {

class WatchedFacade : public FakeFacade {
public:
    QImage GetImageByFileNode(IFileNode* file) override {
        const int running = ++inFlight;
        int seen = mostAtOnce.load();
        while (running > seen && !mostAtOnce.compare_exchange_weak(seen, running)) {
        }
        {
            std::lock_guard lock(askedMutex);
            asked.push_back(file);
        }
        QImage image = FakeFacade::GetImageByFileNode(file);
        --inFlight;
        return noPreview ? QImage() : image;
    }
    std::atomic<int> inFlight{0};
    std::atomic<int> mostAtOnce{0};
    std::atomic<bool> noPreview{false};

    // The files asked for, in order.
    std::vector<IFileNode*> askedInOrder() {
        std::lock_guard lock(askedMutex);
        return asked;
    }

private:
    std::mutex askedMutex;
    std::vector<IFileNode*> asked;
};

// Runs the main thread's events until `done` holds; false after 10 s.
inline bool WaitFor(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, 10000);
}

// Hands over what the workers posted, without waiting for more.
inline void Deliver() {
    QCoreApplication::processEvents();
}

}  // namespace loadertest
