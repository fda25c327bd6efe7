#include "KvScanUpdates.h"

#include <chrono>

#include "KvNotificationNames.h"
#include "KvUIController.h"
#include "KvUIPublic.h"
#include "KvUIScan.h"

KvScanUpdates* KvScanUpdates::instance() {
    static KvScanUpdates updates;
    return &updates;
}

namespace {

int64_t SteadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void RefreshResultTrees(int final) {
    KvUIController::KvGetTreeNodeData(final);
}

}  // namespace

KvScanUpdates::KvScanUpdates() : refresher_(RefreshResultTrees), nowMs_(SteadyNowMs) {}

void KvScanUpdates::SetTreeRefresher(std::function<void(int final)> refresher) {
    std::lock_guard hold(treeLock_);
    refresher_ = refresher ? std::move(refresher) : RefreshResultTrees;
}

void KvScanUpdates::SetClock(std::function<int64_t()> nowMs) {
    std::lock_guard hold(stateLock_);
    nowMs_ = nowMs ? std::move(nowMs) : SteadyNowMs;
}

void KvScanUpdates::Reset() {
    std::lock_guard hold(stateLock_);
    hasPosted_ = false;
    lastPostMs_ = 0;
}

void KvScanUpdates::Notify(int final) {
    if (!KvUIScan::instance()->IsOpTreeFinished()) {
        // A window is rebuilding the trees; it calls TreeFinished when done.
        if (final) {
            std::lock_guard hold(stateLock_);
            finalPending_ = true;
        }
        return;
    }
    if (final) {
        RefreshAndPost(1, std::nullopt);
        return;
    }
    int64_t waitMs = 0;
    uint64_t generation = 0;
    {
        std::lock_guard hold(stateLock_);
        const int64_t now = nowMs_();
        if (!hasPosted_ || now - lastPostMs_ >= kThrottleMs) {
            hasPosted_ = true;
            lastPostMs_ = now;
        } else if (deferredPending_) {
            return;  // the deferred post will show this batch too
        } else {
            deferredPending_ = true;
            waitMs = kThrottleMs - (now - lastPostMs_);
            generation = generation_;
        }
    }
    if (waitMs > 0) {
        KvUIPublic::NotifyMainThreadLater(static_cast<int>(waitMs), [this, generation] {
            if (KvUIScan::instance()->IsOpTreeFinished())
                RefreshAndPost(0, generation);
            else
                ClearDeferred();
        });
        return;
    }
    RefreshAndPost(0, std::nullopt);
}

void KvScanUpdates::ClearDeferred() {
    std::lock_guard hold(stateLock_);
    deferredPending_ = false;
}

void KvScanUpdates::TreeFinished() {
    bool pending = false;
    {
        std::lock_guard hold(stateLock_);
        pending = finalPending_;
    }
    if (pending)
        Notify(1);
}

void KvScanUpdates::RefreshAndPost(int final, std::optional<uint64_t> deferredOf) {
    // Held from the check to the queued post, so that a deferred post can
    // never land behind the final one. Posting only queues a call on the
    // main thread: the lock is never held across main-thread work.
    std::lock_guard tree(treeLock_);
    {
        std::lock_guard hold(stateLock_);
        if (deferredOf) {
            deferredPending_ = false;
            if (*deferredOf != generation_)
                return;  // a final update came since and showed everything
        }
        if (final) {
            finalPending_ = false;
            ++generation_;
        }
        hasPosted_ = true;
        lastPostMs_ = nowMs_();
    }
    if (refresher_)
        refresher_(final);
    KvUIPublic::NotifyMainThread(kvnote::kNormalScanValue);
}

void KvNotifyUIUpdateData(int final) {
    KvScanUpdates::instance()->Notify(final);
}
