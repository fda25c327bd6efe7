#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

// Tells the interface that a scan has new results: refreshes the result trees
// and posts the scan notification on the main thread. Updates while the scan
// runs are throttled to one post per two seconds; one that falls inside that
// window is deferred to its end, never dropped, and the final update always
// posts (after the trees are rebuilt when a window is rebuilding them).
class KvScanUpdates {
public:
    static constexpr int64_t kThrottleMs = 2000;

    static KvScanUpdates* instance();

    // `final` is 1 at the end of a scan and 0 after each batch of nodes.
    void Notify(int final);
    // Forgets the time of the last post, so the next update posts at once.
    void Reset();
    // A window finished rebuilding the trees: a final update held back
    // meanwhile is made now.
    void TreeFinished();

    // Serialises every rebuild of the result trees.
    std::mutex& TreeLock() { return treeLock_; }
    // Rebuilds the interface's result trees; called with the tree lock held.
    // Null: the facade's refresh of the four trees.
    void SetTreeRefresher(std::function<void(int final)> refresher);
    // Milliseconds of a monotonic clock; tests replace it (null: the steady clock).
    void SetClock(std::function<int64_t()> nowMs);

private:
    KvScanUpdates();
    // `deferredOf` is the generation a deferred post was scheduled in.
    void RefreshAndPost(int final, std::optional<uint64_t> deferredOf);
    void ClearDeferred();

    std::mutex treeLock_;
    std::mutex stateLock_;
    std::function<void(int)> refresher_;
    std::function<int64_t()> nowMs_;
    int64_t lastPostMs_ = 0;
    bool hasPosted_ = false;
    bool deferredPending_ = false;
    bool finalPending_ = false;
    // Bumped by every final update; a deferred post of an older generation is void.
    uint64_t generation_ = 0;
};

// The scan's hook: 1 at the end of a scan, 0 after each batch of nodes.
void KvNotifyUIUpdateData(int final);
