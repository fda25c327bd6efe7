#pragma once

#include "Progress.h"

// The progress and stop sink every HFS+ walk reports through: counts found
// records into one progress record and reports the end once.
class CHFSPlusQuickFileSystemSearchProgress {
public:
    // A silent adapter only relays the sink's stop requests.
    CHFSPlusQuickFileSystemSearchProgress(IProgress* sink, bool silent);
    // Not silent: reports the record once more as finished.
    ~CHFSPlusQuickFileSystemSearchProgress();
    CHFSPlusQuickFileSystemSearchProgress(const CHFSPlusQuickFileSystemSearchProgress&) = delete;
    CHFSPlusQuickFileSystemSearchProgress& operator=(const CHFSPlusQuickFileSystemSearchProgress&) =
        delete;

    // One more record done; answers the sink's answer (0 when nothing is reported).
    int UpdateProgress();
    // 0 when the walk must stop.
    int Continued();
    _PROGRESS_INFO* GetRecord() { return record_; }

private:
    IProgress* sink_;
    _PROGRESS_INFO* record_;
    bool silent_;
};
