#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>

#include "Progress.h"

// Status of a long operation shared by the facade, its polling threads and
// the engine thread that runs the work.
enum KvOperationStatus : int {
    KV_STATUS_IDLE = 0,
    KV_STATUS_STOP_REQUESTED = 1,
    KV_STATUS_RUNNING = 2,
    KV_STATUS_PAUSED = 3,
};

// Base of the interface's long operations (scan, recovery, saving and loading
// a scan result). Towards the engine it is the progress sink; towards the
// facade a small thread-safe state machine. Every field but the time stamps is
// guarded by one recursive lock, so a subclass may call the accessors while it
// already holds it.
class KvUIOperation : public IProgress {
public:
    KvUIOperation() = default;
    ~KvUIOperation() override = default;
    KvUIOperation(const KvUIOperation&) = delete;
    KvUIOperation& operator=(const KvUIOperation&) = delete;

    int UpdateProgress(_PROGRESS_INFO* info) override = 0;
    // Parks the calling engine thread while the operation is paused; 0 once
    // it is idle or a stop was requested.
    int Continued() override;
    int shouldBuild() override;
    virtual int IsOpTreeFinished() { return 1; }
    virtual void SetOpTreeFinished(int /*finished*/) {}

    int GetStatus();
    void SetStatus(int status);
    // Moves the status from `from` to `to` in one locked step; false (and no
    // change) when it was another.
    bool ExchangeStatus(int from, int to);
    int IsNeedUIUpdate();
    void SetNeedUIUpdate(int need);
    void SetShouldBuildTree(int build);
    _PROGRESS_INFO GetProgressInfo();
    void SetProgressInfo(const _PROGRESS_INFO& info);

    int IsOperationExit();
    // Running becomes paused and paused running; any other status stays.
    void PauseOrResumeOperation();
    // Asks a busy operation to stop (a nonzero `discard` drops the found
    // trees). Tested and set in one locked step, so a worker that ends at the
    // same moment is never turned back to "stop requested".
    void StopOperation(int discard);
    // Seconds from the start to the latest progress report.
    int64_t GetScanElapseTime();

protected:
    void SetStartAndEndTime(time_t now);
    void SetEndTime(time_t now);

    std::recursive_mutex lock_;

private:
    std::atomic<int64_t> startTime_{0};
    std::atomic<int64_t> endTime_{0};
    int status_ = KV_STATUS_IDLE;
    int shouldBuildTree_ = 1;
    int needUIUpdate_ = 0;
    _PROGRESS_INFO progress_{};
};
