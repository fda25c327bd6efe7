#pragma once

#include "Progress.h"

// Stands between a scan's searchers and the caller's sink, remembering whether
// the last record sent finished the scan, so the controller can always end
// with exactly one finished record.
class CScanProgress : public IProgress {
public:
    explicit CScanProgress(IProgress* sink) : sink_(sink) {}

    int UpdateProgress(_PROGRESS_INFO* info) override;
    int Continued() override { return sink_->Continued(); }
    int shouldBuild() override { return sink_->shouldBuild(); }

    // A record of `state` with the given counts, everything else zero.
    void Report(PROGRESS_STATE state, uint64_t total, uint64_t done, RESULT_CODE result = 0);
    // The finished record (total 1, done 1), unless the last record already was one.
    void FinishUnlessFinished(RESULT_CODE result);

private:
    IProgress* sink_;
    bool finished_ = false;
};
