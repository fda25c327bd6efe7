#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "ExFatFileSet.h"
#include "ExFatNames.h"

// Reads the directory sectors a complete scan meets into file sets: runs of
// consecutive directory sectors with the files and folders their entries
// describe. Entry sets cut at a cluster end are joined with their
// continuation wherever on the device it turns up, and the two file sets
// linked.
class CFDTPreAnaylze {
public:
    void PrepareAnayze(uint32_t sectorShift, uint32_t clusterShift, uint64_t totalSectors);
    // `bytes` holds the sector and `available` bytes from its start on (the
    // sectors after it when they are in memory). True when the current file
    // set ends with this sector.
    bool Analyze(int64_t sector, const uint8_t* bytes, uint32_t available);
    // The current file set, handed over; a new one starts with the next sector.
    std::unique_ptr<CFileSet> GetFileSet();
    // The current file set, still held; null when none was started.
    const CFileSet* CurrentFileSet() const { return current_.get(); }
    // Drops the current file set: a new one starts with the next sector. The
    // set is cleared where it is, so a scan of sectors that hold no entries
    // allocates nothing.
    void DropFileSet();
    // The first sector of the file set that continues (or precedes) the one
    // beginning at `first`; -1 when none.
    int64_t GetNext(int64_t first) const;
    int64_t GetLast(int64_t first) const;
    void FinisAnayze();

private:
    struct WorkRecord {
        int state = 0;
        uint8_t secondariesLeft = 0;
        _tagFileBaseInfo file;
        std::vector<uint8_t> nameUnits;
    };

    bool AnalyzeEntry(int64_t sector, const uint8_t* entry, uint32_t index, uint32_t available,
                      bool& counted, bool seen[3]);
    void PushPrimaryEntry(const uint8_t* entry, int64_t sector);
    void PushStreamEntry(const uint8_t* entry, bool firstInSector);
    void PushNameEntry(const uint8_t* entry, bool firstInSector);
    void PushSecondaryWithoutPrimary(bool firstInSector);
    void CountSecondary();
    bool IsAcceptableStream(const uint8_t* entry) const;
    bool CheckAndRecordNotEnd(int64_t sector, const uint8_t* entry, uint32_t index,
                              uint32_t available);
    void RecordAbrige(int64_t sector, const uint8_t* bytes);
    bool Joint(int64_t headKey, const std::vector<uint8_t>& head, const std::vector<uint8_t>& tail);
    int64_t CurrentKey(int64_t sector) const;

    uint64_t totalSectors_ = 0;
    uint32_t clusterShift_ = 25;
    uint32_t sectorShift_ = 9;
    uint32_t sectorSize_ = 512;
    std::map<int64_t, std::vector<uint8_t>> heads_;
    std::map<int64_t, std::vector<uint8_t>> tails_;
    std::map<int64_t, int64_t> links_;
    std::map<int64_t, int64_t> backLinks_;
    std::unique_ptr<CFileSet> current_;
    WorkRecord work_;
    CExFatNameConverter converter_;
};

// The entry-set checksum of `bytes` as it stands or, for a deleted set, as it
// was while in use.
bool CheckDirEntry(const uint8_t* entries, uint32_t bytes, uint16_t expected);
