#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "EngineTypes.h"

class IStorageDevice;

// Next-cluster values that end a chain or mark a bad cluster, as every reader answers them.
constexpr uint32_t kFATEndOfChain = 0x0FFFFFF8;
constexpr uint32_t kFATBadCluster = 0x0FFFFFF7;

class IFATTable {
public:
    virtual ~IFATTable() = default;
    // The entry of `cluster`; 0 when the cluster lies outside the table.
    virtual uint32_t GetNextCluster(uint32_t cluster) = 0;
};

// One copy of the FAT, read whole into memory when it is constructed.
class IRealFATTable : public IFATTable {
public:
    ~IRealFATTable() override = default;
    virtual bool IsValidFATTable() = 0;
    // The first entries carry the media and end marks of a FAT.
    virtual bool HasValidHeader() = 0;
    // How many entries break the table tests: values that name no cluster,
    // second links into one cluster, and loops.
    virtual uint64_t CountDamagedEntries() = 0;

    uint32_t GetEntryCount() const { return entryCount_; }
    bool IsLoaded() const { return !table_.empty(); }

protected:
    // Loads the table when `length` lies in [minLength, maxLength] and the device
    // reads it whole; otherwise the reader stays empty (and invalid).
    IRealFATTable(IStorageDevice* device, int64_t firstSector, uint32_t length, uint32_t entryWidth,
                  uint32_t minLength, uint32_t maxLength);

    uint32_t RawEntry32(uint32_t index) const;
    uint16_t RawEntry16(uint32_t index) const;
    // The chain tests shared by FAT16 and FAT32; `raw(i)` answers entry i with
    // its reserved bits removed, `badMark` is that type's bad-cluster value.
    template <typename Entry>
    bool CheckFATBodyAndChains(Entry raw, uint32_t badMark) const;
    template <typename Entry>
    uint64_t CountDamage(Entry raw, uint32_t badMark) const;

    IStorageDevice* device_;
    int64_t firstSector_;
    uint32_t length_;
    uint32_t entryCount_ = 0;
    std::vector<uint8_t> table_;
    uint32_t sectorSize_;
};

class CFAT12Table : public IRealFATTable {
public:
    CFAT12Table(IStorageDevice* device, int64_t firstSector, uint32_t length);
    uint32_t GetNextCluster(uint32_t cluster) override;
    bool IsValidFATTable() override;
    bool HasValidHeader() override;
    uint64_t CountDamagedEntries() override;
};

class CFAT16Table : public IRealFATTable {
public:
    CFAT16Table(IStorageDevice* device, int64_t firstSector, uint32_t length);
    uint32_t GetNextCluster(uint32_t cluster) override;
    bool IsValidFATTable() override;
    bool HasValidHeader() override;
    uint64_t CountDamagedEntries() override;
};

// FAT32 entries carry 28 bits of cluster number; the top four bits are
// reserved and never part of the answer.
class CFAT32Table : public IRealFATTable {
public:
    CFAT32Table(IStorageDevice* device, int64_t firstSector, uint32_t length);
    uint32_t GetNextCluster(uint32_t cluster) override;
    bool IsValidFATTable() override;
    bool HasValidHeader() override;
    uint64_t CountDamagedEntries() override;
};

// The two copies of the FAT: the first answers while it exists, else the second.
class CDoubleFATTable : public IFATTable {
public:
    CDoubleFATTable(IRealFATTable* first, IRealFATTable* second);
    uint32_t GetNextCluster(uint32_t cluster) override;
    bool HasTable() const { return first_ || second_; }
    bool UsesSecondCopy() const { return !first_ && second_; }

private:
    std::unique_ptr<IRealFATTable> first_;
    std::unique_ptr<IRealFATTable> second_;
};

// A copy of the FAT that fails the table tests, read all the same: it is still
// the best map of the files when only a few entries are bad. A value that
// names no cluster of the table, or the cluster itself, ends the chain.
class CDamagedFATTable : public IFATTable {
public:
    explicit CDamagedFATTable(IRealFATTable* table) : table_(table) {}
    uint32_t GetNextCluster(uint32_t cluster) override;

private:
    std::unique_ptr<IRealFATTable> table_;
};

class IFATTableFactory {
public:
    // FAT 1 is tried when useFirst is set or useSecond is not; FAT 2 (right after
    // FAT 1) only when useSecond is set and FAT 1 gave no valid table. Always a
    // new CDoubleFATTable, possibly without any table.
    static CDoubleFATTable* CreateFATTable(IStorageDevice* device, int64_t fat1Sector,
                                           enumFILE_SYSTEM_TYPE type, uint32_t sectorsPerFat,
                                           int useFirst, int useSecond);
    // The reader of that type when it loads and passes its validity tests; else null.
    static IRealFATTable* CreateRealFATTable(IStorageDevice* device, enumFILE_SYSTEM_TYPE type,
                                             int64_t firstSector, uint32_t sectors);
    // For a volume whose copies both fail the table tests: the copy, of those
    // CreateFATTable would try, that loads and has a valid header, with the
    // fewest damaged entries (the first copy on a tie), read leniently. Null
    // when no copy loads.
    static CDamagedFATTable* CreateDamagedFATTable(IStorageDevice* device, int64_t fat1Sector,
                                                   enumFILE_SYSTEM_TYPE type,
                                                   uint32_t sectorsPerFat, int useFirst,
                                                   int useSecond);
    static void DestroyFATTable(IFATTable* table) { delete table; }
};
