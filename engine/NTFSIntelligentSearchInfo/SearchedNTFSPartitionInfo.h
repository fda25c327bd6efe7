#pragma once

#include <cstdint>

#include "SearchedPartitionInfo.h"

class IRSData;

// Evidence that places an NTFS partition candidate (merged with OR).
enum NTFSPartitionEvidence : uint32_t {
    kNTFSEvidenceBootSector = 1,
    kNTFSEvidenceBackupBootSector = 2,
    kNTFSEvidenceMFTConfirmedByMirror = 4,
    kNTFSEvidenceMFTGroup = 8,
    kNTFSEvidenceMFTMirrGroup = 16,
    kNTFSEvidenceIndexBlock = 32,
    kNTFSEvidenceFirstRestartPage = 64,
    kNTFSEvidenceSecondRestartPage = 128,
};

// An NTFS partition found by the complete search, with the evidence that
// placed it. The base record's fileSystemValue2 counts the index blocks that
// confirmed it; integerScore is its reliability score.
class CSearchedNTFSPartitionInfo : public CSearchedPartitionInfo {
public:
    static constexpr uint32_t kNTFSRecordType = 0;

    explicit CSearchedNTFSPartitionInfo(uint32_t sectorSize) : CSearchedPartitionInfo(sectorSize) {}
    uint32_t GetType() const override { return kNTFSRecordType; }
    CSearchedNTFSPartitionInfo* Clone() const { return new CSearchedNTFSPartitionInfo(*this); }

    int64_t GetSerialNumber() const { return serialNumber_; }
    void SetSerialNumber(int64_t serial) { serialNumber_ = serial; }
    uint32_t GetSectorsperFileRecord() const { return sectorsPerRecord_; }
    void SetSectorsperFileRecord(uint32_t sectors) { sectorsPerRecord_ = sectors; }
    uint32_t GetPartitionBuildFromFlags() const { return buildFrom_; }
    void SetPartitionBuildFromFlag(uint32_t flags) { buildFrom_ = flags; }
    void AddPartitionBuildFromFlag(uint32_t flags) { buildFrom_ |= flags; }

    // Serial number, the four flag words, total clusters and the eight
    // counts and sectors, in this order.
    bool Save(IRSData& archive) const;
    bool Restore(IRSData& archive);

    uint32_t mftLocated = 0;        // the $MFT sector is known
    uint32_t restrictToTables = 0;  // list only records inside a table (no search sets it)
    int64_t totalClusters = -1;
    int64_t logMatchCount = -1;
    int64_t attrDefMatchCount = -1;
    int64_t upCaseMatchCount = -1;
    int64_t mftSector = -1;
    int64_t logFileRecordSector = -1;
    int64_t attrDefRecordSector = -1;
    int64_t upCaseRecordSector = -1;
    int64_t bitmapSectors = -1;

private:
    template <typename Self, typename Field>
    static bool EachField(Self& self, Field field);

    int64_t serialNumber_ = 0;
    uint32_t sectorsPerRecord_ = 2;
    uint32_t buildFrom_ = 0;
};
