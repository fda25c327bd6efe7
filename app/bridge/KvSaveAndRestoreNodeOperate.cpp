#include "KvSaveAndRestoreNodeOperate.h"

#include <cstdio>

KvSaveAndRestoreNodeOperate* KvSaveAndRestoreNodeOperate::instance() {
    static KvSaveAndRestoreNodeOperate operation;
    return &operation;
}

int KvSaveAndRestoreNodeOperate::UpdateProgress(_PROGRESS_INFO* info) {
    if (info != nullptr) {
        SetProgressInfo(*info);
        if (info->state == PROGRESS_STATE_FINISHED) {
            SetStatus(KV_STATUS_IDLE);
            std::printf("=====Scan Progress finished!=====\n");
        }
    }
    SetNeedUIUpdate(1);
    return 0;
}

int KvSaveAndRestoreNodeOperate::Continued() {
    const int status = GetStatus();
    return status == KV_STATUS_RUNNING || status == KV_STATUS_PAUSED ? 1 : 0;
}
