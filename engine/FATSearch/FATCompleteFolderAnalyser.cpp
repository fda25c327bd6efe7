#include "FATCompleteFolderAnalyser.h"

#include <algorithm>
#include <cassert>

#include "FATDirEntry.h"

bool CFATFolderAnalyser::IsBlankFATDirEntry(const uint8_t* entry) {
    assert(entry != nullptr && "pFATEntryBuffer != NULL");
    return std::all_of(entry, entry + kFATDirEntrySize, [](uint8_t byte) { return byte == 0; });
}

void CFATFolderAnalyser::Clear() {
    kind_ = kNotFolder;
    count_ = 0;
    dotCluster_ = 0;
    dotDotCluster_ = 0;
    highestCluster_ = 0;
}

bool CFATFolderAnalyser::AnalyseSector(const uint8_t* sector) {
    assert(sector != nullptr && "pSectorBuffer != NULL");
    Clear();
    // The entry view only reads through its pointer; it never writes here.
    uint8_t* bytes = const_cast<uint8_t*>(sector);
    const uint32_t entries = bytes_ / kFATDirEntrySize;
    bool dot = false;
    bool dotDot = false;
    bool endedAtInvalid = false;
    bool blankEnd = false;
    bool havePrevious = false;
    uint64_t previousCluster = 0;
    for (uint32_t index = 0; index < entries; ++index) {
        const CTempFATDirEntry entry(bytes + size_t{index} * kFATDirEntrySize);
        if (!entry.IsValidFATDirEntry(1)) {
            endedAtInvalid = true;
            blankEnd = IsBlankFATDirEntry(entry.GetBytes());
            break;
        }
        if (entry.IsLongFileNameEntry()) {
            continue;
        }
        const uint64_t cluster = entry.GetFirstClusterNO();
        highestCluster_ = std::max(highestCluster_, static_cast<uint32_t>(cluster));
        if (index == 0 && entry.IsSelfEntry()) {
            dot = true;
            dotCluster_ = static_cast<uint32_t>(cluster);
            continue;
        }
        if (index == 1 && entry.IsParentEntry()) {
            dotDot = true;
            dotDotCluster_ = static_cast<uint32_t>(cluster);
            continue;
        }
        if (!entry.IsErased()) {
            // Two live entries sharing a cluster are no folder's.
            if (havePrevious && cluster == previousCluster) {
                Clear();
                return false;
            }
            havePrevious = true;
            previousCluster = cluster;
        }
        ++count_;
    }
    if (dot && dotDot) {
        kind_ = kSubFolderFirstSector;
        return true;
    }
    const bool pass = count_ > 0 && (!endedAtInvalid || blankEnd);
    if (!pass) {
        Clear();
        return false;
    }
    kind_ = kFolderSector;
    dotCluster_ = 0;
    dotDotCluster_ = 0;
    return true;
}
