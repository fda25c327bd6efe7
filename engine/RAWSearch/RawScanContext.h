#pragma once

#include <cstdint>
#include <vector>

#include "Progress.h"
#include "RawFileTypes.h"

// Everything one raw search counts or consults while it runs: the progress
// sink that stops every walk, the folder and file numbering of the result
// trees. Made with the search and reset when it prepares, so nothing carries
// over from one scan or device to the next.
struct RawScanContext {
    static constexpr int64_t kFirstTypeFolderId = 10;
    static constexpr int64_t kFirstLabelId = 2001;

    // Clears the numbering; the progress sink stays as it was set.
    void ResetCounters() {
        nextTypeFolderId = kFirstTypeFolderId;
        nextLabelId = kFirstLabelId;
        countPerType.assign(kRawFileExtensionSlots, 0);
    }

    // False once the user has asked the scan to stop.
    bool Continue() const { return progress == nullptr || progress->Continued() != 0; }

    // The next number of a carved file of that type (0, 1, 2 ...).
    int32_t NextFileNumber(RAW_FILE_TYPE type) {
        if (countPerType.size() != kRawFileExtensionSlots)
            countPerType.assign(kRawFileExtensionSlots, 0);
        return type < kRawFileExtensionSlots ? countPerType[type]++ : 0;
    }

    IProgress* progress = nullptr;  // not owned
    int64_t nextTypeFolderId = kFirstTypeFolderId;
    int64_t nextLabelId = kFirstLabelId;
    std::vector<int32_t> countPerType = std::vector<int32_t>(kRawFileExtensionSlots, 0);
};
