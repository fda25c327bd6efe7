#pragma once

#include <cstdint>
#include <vector>

#include "DataRunList.h"

class CNTFSDataRunList;

// Data kept inside a FILE record: one extent {sector of the record, 1} and the
// offset of the data from the record's start.
class CResidentNTFSDataRunList : public CDataRunList {
public:
    static constexpr int kType = 1;

    CResidentNTFSDataRunList() { resident_ = 1; }
    void InitList(int64_t recordSector, int64_t count, uint32_t offset);
    IDataRunList* Clone() override;
    int64_t GetOffset() override { return offset_; }
    int GetDataRunListType() override { return kType; }

private:
    uint32_t offset_ = 0;
};

// The clusters of a non-resident attribute in file order; holes have LCN -1.
class CNoneResidentNTFSDataRunList : public CDataRunList {
public:
    static constexpr int kType = 2;

    // Decodes mapping pairs into extents; decoding ends at a pair that does
    // not fit the length.
    bool InitFromBuffer(const uint8_t* runs, int length);
    IDataRunList* Clone() override;
    int GetDataRunListType() override { return kType; }
};

// Sorted runs as extents; null when there are none. `totalClusters` gets their sum.
IDataRunList* BuildNonResidentDataRunListfromNTFSDataRunList(const CNTFSDataRunList& runs,
                                                             int64_t* totalClusters);

// Bytes a signed value needs in two's complement (1 to 8).
int GetNeedBytes(int64_t value);
void CompressOneDataRun(uint8_t deltaBytes, uint8_t countBytes, int64_t delta, int64_t count,
                        std::vector<uint8_t>& out);
// Mapping pairs of an extent list, ended by a 0 byte; empty for an empty list.
std::vector<uint8_t> CreateCompressedDataRun(IDataRunList* list);

// An extent list packed as mapping pairs: what every found file keeps in memory.
class CCompressedDataRunList {
public:
    // Null for an empty list.
    static CCompressedDataRunList* Compress(IDataRunList* list);
    // A new extent list the caller releases.
    IDataRunList* Decompress() const;
    uint32_t GetCompressedDataRunSize() const;
    uint16_t GetDataOffset() const { return dataOffset_; }
    CCompressedDataRunList* Clone() const { return new CCompressedDataRunList(*this); }

private:
    uint16_t dataOffset_ = 0;  // non-zero exactly for resident data
    std::vector<uint8_t> bytes_;
};
