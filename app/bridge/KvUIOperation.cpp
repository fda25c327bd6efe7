#include "KvUIOperation.h"

#include <chrono>
#include <thread>

namespace {

// How often a paused worker looks whether it may go on.
constexpr std::chrono::milliseconds kPausePoll{80};

}  // namespace

int KvUIOperation::Continued() {
    while (GetStatus() == KV_STATUS_PAUSED)
        std::this_thread::sleep_for(kPausePoll);
    return GetStatus() == KV_STATUS_RUNNING ? 1 : 0;
}

int KvUIOperation::shouldBuild() {
    std::lock_guard hold(lock_);
    return shouldBuildTree_;
}

int KvUIOperation::GetStatus() {
    std::lock_guard hold(lock_);
    return status_;
}

void KvUIOperation::SetStatus(int status) {
    if (status < KV_STATUS_IDLE || status > KV_STATUS_PAUSED)
        return;
    std::lock_guard hold(lock_);
    status_ = status;
}

bool KvUIOperation::ExchangeStatus(int from, int to) {
    if (to < KV_STATUS_IDLE || to > KV_STATUS_PAUSED)
        return false;
    std::lock_guard hold(lock_);
    if (status_ != from)
        return false;
    status_ = to;
    return true;
}

int KvUIOperation::IsNeedUIUpdate() {
    std::lock_guard hold(lock_);
    return needUIUpdate_;
}

void KvUIOperation::SetNeedUIUpdate(int need) {
    std::lock_guard hold(lock_);
    needUIUpdate_ = need;
}

void KvUIOperation::SetShouldBuildTree(int build) {
    std::lock_guard hold(lock_);
    shouldBuildTree_ = build;
}

_PROGRESS_INFO KvUIOperation::GetProgressInfo() {
    std::lock_guard hold(lock_);
    return progress_;
}

void KvUIOperation::SetProgressInfo(const _PROGRESS_INFO& info) {
    std::lock_guard hold(lock_);
    progress_ = info;
}

int KvUIOperation::IsOperationExit() {
    return GetStatus() == KV_STATUS_IDLE ? 1 : 0;
}

void KvUIOperation::PauseOrResumeOperation() {
    std::lock_guard hold(lock_);
    if (status_ == KV_STATUS_PAUSED)
        status_ = KV_STATUS_RUNNING;
    else if (status_ == KV_STATUS_RUNNING)
        status_ = KV_STATUS_PAUSED;
}

void KvUIOperation::StopOperation(int discard) {
    std::lock_guard hold(lock_);
    if (status_ != KV_STATUS_IDLE) {
        status_ = KV_STATUS_STOP_REQUESTED;
        shouldBuildTree_ = discard ? 0 : 1;
    }
    needUIUpdate_ = 1;
}

int64_t KvUIOperation::GetScanElapseTime() {
    return endTime_.load() - startTime_.load();
}

void KvUIOperation::SetStartAndEndTime(time_t now) {
    startTime_ = now;
    endTime_ = now;
}

void KvUIOperation::SetEndTime(time_t now) {
    endTime_ = now;
}
