#include "ScanProgress.h"

int CScanProgress::UpdateProgress(_PROGRESS_INFO* info) {
    if (info == nullptr)
        return 0;
    finished_ = info->state == PROGRESS_STATE_FINISHED;
    return sink_->UpdateProgress(info);
}

void CScanProgress::Report(PROGRESS_STATE state, uint64_t total, uint64_t done,
                           RESULT_CODE result) {
    _PROGRESS_INFO info{};
    info.state = state;
    info.total = total;
    info.done = done;
    info.result = result;
    UpdateProgress(&info);
}

void CScanProgress::FinishUnlessFinished(RESULT_CODE result) {
    if (!finished_)
        Report(PROGRESS_STATE_FINISHED, 1, 1, result);
}
