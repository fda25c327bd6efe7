#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ExFatNames.h"

// One file found in a folder.
struct _tagFileBaseInfo {
    int64_t dataLength = 0;
    uint32_t firstCluster = 0;
    uint8_t noFatChain = 0;
    uint8_t inUse = 0;  // bit 7 of the file entry's type
    uint16_t attributes = 0;
    uint32_t creationTime = 0;
    uint32_t modificationTime = 0;
    uint32_t accessTime = 0;
    int64_t sector = -1;  // first sector of the buffer the file entry stood in
    std::string name;     // UTF-8
    uint8_t nameLength = 0;
};

// Assembles the entry sets of a folder's buffers (file, stream extension,
// names) into file records. A set may run on from one buffer into the next.
class CEFDTAnalyze {
public:
    void PrepareAnayze(uint32_t sectorShift, uint32_t clusterShift, uint64_t totalSectors);
    // Drops the set under construction.
    void Reset();
    // Walks the buffer's entries; false when the folder ends in it (its end
    // mark, an unknown critical entry or a malformed entry).
    bool Analyze(const uint8_t* buffer, uint32_t bytes, int64_t sector);

    // The completed records, in folder order; the caller empties the list.
    std::vector<_tagFileBaseInfo>& Files() { return files_; }
    // The first allocation-bitmap entry met (in the root folder): its first
    // cluster (0 while none was met) and length in bytes.
    uint32_t BitmapCluster() const { return bitmapCluster_; }
    uint64_t BitmapLength() const { return bitmapLength_; }

private:
    bool SetBaseData(const uint8_t* entry, int64_t sector);
    bool SetStreamData(const uint8_t* entry);
    bool SetNameData(const uint8_t* entry);
    void ContinueWithSecondary(const uint8_t* entry);
    void FileRecordDone();
    bool IsValidStream(const uint8_t* entry) const;
    bool FitsSet(const uint8_t* entry) const;

    int32_t state_ = 0;  // 0 none, 1 file entry, 2 stream, 3+ names
    uint8_t secondariesLeft_ = 0;
    _tagFileBaseInfo current_;
    std::vector<uint8_t> nameUnits_;
    int64_t entriesSinceStart_ = 0;
    std::vector<_tagFileBaseInfo> files_;
    uint32_t bitmapCluster_ = 0;
    uint64_t bitmapLength_ = 0;
    uint64_t totalSectors_ = 0;
    uint32_t clusterShift_ = 9;
    uint32_t sectorShift_ = 9;
    CExFatNameConverter converter_;
};
