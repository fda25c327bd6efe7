#pragma once

#include <cstdint>
#include <vector>

class CNTFSDataRunList;
class CNTFSFileRecord;

// Facts the complete search reads from whole FILE records.
class CNTFSFileRecordAnalyzer {
public:
    // Appends the runs of the record's unnamed data attributes. With
    // `checkCounts`, every uncompressed piece must hold exactly the clusters
    // its VCN range names. `realSize` (optional) gets the real size of the
    // piece that starts at VCN 0. False for an invalid view, a resident
    // unnamed data attribute or a piece that fails its checks; true with
    // nothing added when the record has no data attribute.
    static bool AddDataRunListfromFileRecordBuffer(const CNTFSFileRecord& record,
                                                   CNTFSDataRunList& runs, bool checkCounts,
                                                   int64_t* realSize);
    // The same on `size` bytes of a raw record, viewed in place.
    static bool AddDataRunListfromFileRecordBuffer(uint8_t* buffer, int size,
                                                   CNTFSDataRunList& runs, bool checkCounts,
                                                   int64_t* realSize);

    // The cluster size, in sectors of `sectorSize` bytes, that the data
    // attribute's size and clusters suggest: a power of two up to 128, 0 when
    // none fits. False when the runs cannot be gathered.
    static bool GetSectorsPerClusterfrom0x80(const CNTFSFileRecord& record, uint8_t& out,
                                             uint32_t sectorSize = 512);
    static bool GetSectorsPerClusterfrom0x80(uint8_t* buffer, int size, uint8_t& out,
                                             uint32_t sectorSize = 512);
};

// One non-resident attribute with its run list.
class CNTFSFileRecordDataRunsAttribute {
public:
    // The cluster size its initialized size and clusters suggest, as above;
    // 0 when either is below 1 or the runs are invalid.
    static uint8_t GetSectorsPerCluster(const uint8_t* attribute, int remaining,
                                        uint32_t sectorSize = 512);
};

// Folders whose index does not fit their record.
class CFolderFileRecordAnalyzer {
public:
    // A valid directory record with a non-resident index allocation (0xA0).
    static bool IsValidFolderFileRecordHavingIndexAllocation(const CNTFSFileRecord& record);
    static bool IsValidFolderFileRecordHavingIndexAllocation(uint8_t* buffer, int size);
};

namespace NTFSPublicFunction {

// The smallest supported cluster size at least `sectors`: 1, 2, 4 ... 128, or 0.
uint8_t RoundSectorsPerCluster(uint64_t sectors);
// Does `sector` begin cluster `cluster` of a volume whose clusters start at
// `partitionStart`?
bool IsClusterNOMatch(int64_t sector, int64_t cluster, int64_t partitionStart,
                      uint32_t sectorsPerCluster);

}  // namespace NTFSPublicFunction
