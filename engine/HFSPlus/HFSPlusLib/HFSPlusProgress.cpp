#include "HFSPlusProgress.h"

#include <new>

CHFSPlusQuickFileSystemSearchProgress::CHFSPlusQuickFileSystemSearchProgress(IProgress* sink,
                                                                             bool silent)
    : sink_(sink), record_(new (std::nothrow) _PROGRESS_INFO{}), silent_(silent) {
    if (record_ != nullptr)
        record_->state = PROGRESS_STATE_RUNNING;
}

CHFSPlusQuickFileSystemSearchProgress::~CHFSPlusQuickFileSystemSearchProgress() {
    if (!silent_ && record_ != nullptr && sink_ != nullptr) {
        record_->state = PROGRESS_STATE_FINISHED;
        sink_->UpdateProgress(record_);
    }
    delete record_;
}

int CHFSPlusQuickFileSystemSearchProgress::UpdateProgress() {
    if (silent_ || record_ == nullptr || sink_ == nullptr)
        return 0;
    ++record_->done;
    return sink_->UpdateProgress(record_);
}

int CHFSPlusQuickFileSystemSearchProgress::Continued() {
    return sink_ == nullptr ? 1 : sink_->Continued();
}
