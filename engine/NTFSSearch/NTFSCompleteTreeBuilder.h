#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "MFTInfo.h"
#include "NTFSGeometry.h"
#include "NTFSIntelligentSearchInfo.h"
#include "NTFSMultiFileRecord.h"
#include "NTFSName.h"

class CSearchedNTFSPartitionInfo;
class IDirecotryTreeBuilder;
class IStorageDevice;
struct FindFileMFTAndLog;

// Lists the files of one partition the complete search kept: reads again the
// FILE records noted inside it, sorts them to the master file tables that lie
// in it and walks each table's folders from the root down. Positions count
// 512-byte sectors; the nodes carry device sectors.
class CNTFSDirectoryTreeBuilder {
public:
    // The most sectors one read covers.
    static constexpr int64_t kBlockSectors = 128;

    CNTFSDirectoryTreeBuilder(IStorageDevice* device, uint32_t unitsPerSector);

    // Offers the partition's files to `builder` under searcher type 35 with
    // `index` as their partition index.
    void BuildDirectoryTree(const CNTFSIntelligentSearchInfo& info,
                            const CSearchedNTFSPartitionInfo& partition, int index,
                            IDirecotryTreeBuilder* builder);

    // The number of the record at `sector` in `table`, or -1 when the sector
    // is no record boundary of it.
    static int64_t GetMFTNumber(int64_t sector, const CMFTInfo& table, int64_t start,
                                uint32_t sectorsPerCluster);

    // Records of no table beside a located one (a volume quick-formatted over
    // an older one with the same cluster size) take their numbers plus this,
    // so that they never meet the table's records of the same numbers.
    static constexpr int64_t kUnaccountedNumberBase = int64_t{1} << 48;

private:
    using RecordInfo = std::unique_ptr<CCommonFileRecordInfo>;
    struct Table {
        FindFileMFTAndLog* log = nullptr;
        NTFSGeometry geometry;
        std::vector<RecordInfo> records;
    };
    // An extension record met in the partition, noted by the number of its base record.
    struct NotedExtension {
        int64_t number = -1;  // its own, when its header carries it
        int64_t sector = -1;  // device sector
    };
    // A base record with an attribute list, built once every extension is noted.
    struct DeferredRecord {
        std::vector<uint8_t> bytes;
        int64_t sector = -1;
        Table* table = nullptr;
    };

    void OrganizeMatchedMFTInfo(const CNTFSIntelligentSearchInfo& info);
    void ReadFileProperties(const CNTFSIntelligentSearchInfo& info);
    void ReadFilePropertiesfromBlock(int64_t first, int64_t count);
    Table* FindMatchedMFT(int64_t sector);
    void BuildRecord(uint8_t* record, int length, int64_t sector, Table* table);
    RecordInfo BuildCommonFileRecordInfoandFileProperties(uint8_t* record, int length,
                                                          int64_t sector, Table* table);
    ExtendFileRecordInfoList FindExtensionRecords(const uint8_t* record, int length, int64_t sector,
                                                  int64_t number, const Table* table) const;
    NTFSGeometry PartitionGeometry(uint32_t recordBytes) const;
    // Whether a table of the search, of this partition or another, holds the sector.
    bool IsAccountedFor(int64_t sector, const CNTFSIntelligentSearchInfo& info) const;
    void OfferUnaccountedRecords(const CNTFSIntelligentSearchInfo& info);
    void BuildTable(Table& table);
    void OfferLostFiles(std::multimap<int64_t, RecordInfo>& records, bool unaccounted = false);
    bool Offer(CCommonFileRecordInfo& info, int64_t parent, bool unaccounted = false);

    IStorageDevice* device_;
    uint32_t unitsPerSector_;
    int64_t deviceUnits_ = 0;
    const CSearchedNTFSPartitionInfo* partition_ = nullptr;
    int64_t start_ = -1;
    uint32_t sectorsPerCluster_ = 0;
    int index_ = -1;
    IDirecotryTreeBuilder* builder_ = nullptr;
    std::vector<Table> tables_;
    std::vector<RecordInfo> loose_;
    std::unordered_multimap<int64_t, NotedExtension> extensions_;
    std::vector<DeferredRecord> deferred_;
    std::vector<uint8_t> buffer_;
    NTFSNameConverter names_;
};
