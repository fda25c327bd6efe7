#pragma once

#include "KvUIOperation.h"

// The progress operation of saving a scan result to a file and loading one.
class KvSaveAndRestoreNodeOperate : public KvUIOperation {
public:
    static KvSaveAndRestoreNodeOperate* instance();

    // Keeps the record; a finished one ends the operation.
    int UpdateProgress(_PROGRESS_INFO* info) override;
    // Saving and loading cannot be paused: go on until idle or stopped.
    int Continued() override;

private:
    KvSaveAndRestoreNodeOperate() = default;
};
