#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "HFSPlusFormat.h"

class CHFSPlusBTNode;

// What the complete search meets of an HFS+ volume whose headers are both
// lost: its journal's info block and header, and catalog leaf records lying
// outside every volume it could open. At the end they become the files of one
// volume. Its start is the journal header's place less the journal offset the
// info block gives (else the fallback start: sector 0, or the first partition
// behind a GPT protective MBR), its block size the one every file record's
// fork agrees with. Only a start the journal confirms and a block size the
// records pin down let the files' data be read.
class CHFSPlusLostVolume {
public:
    // Records kept per scan: enough for a large catalog, bounded in memory.
    static constexpr size_t kMostRecords = 1u << 16;

    struct Record {
        int64_t sector;  // of the leaf node that holds it
        std::unique_ptr<unsigned char[]> key;
        std::unique_ptr<unsigned char[]> data;
        // An old copy of a leaf kept in the journal: its file may be gone.
        bool inJournal = false;
        const BTKey* Key() const { return reinterpret_cast<const BTKey*>(key.get()); }
        const HFSPlusCatalogRecord* Data() const {
            return reinterpret_cast<const HFSPlusCatalogRecord*>(data.get());
        }
    };

    struct Placement {
        int64_t startSector = 0;
        uint32_t blockSize = 0;  // 0: the records do not agree on one
        bool readable = false;   // start and block size both confirmed
    };

    void Reset(int64_t fallbackStart, uint32_t sectorSize);
    // A journal info block or journal header in the sector; both are kept.
    bool CheckJournalInfoBlock(int64_t sector, const uint8_t* bytes);
    bool CheckJournalHeader(int64_t sector, const uint8_t* bytes);
    // Keeps the folder and file records of a catalog leaf node.
    void KeepLeaf(int64_t sector, CHFSPlusBTNode& node);

    // Where the volume lies. Records of leaves `claimed` answers true for (an
    // opened volume holds them) are dropped; records inside the journal are
    // marked so.
    Placement Place(const std::function<bool(int64_t sector)>& claimed);
    const std::vector<Record>& Records() const { return records_; }

private:
    struct JournalInfo {
        int64_t sector;
        uint64_t offset;
        uint64_t size;
    };
    struct Journal {
        int64_t sector;
        uint64_t size;
    };

    bool FindJournalStart(int64_t& start, const JournalInfo*& info, const Journal*& journal) const;
    uint32_t AgreedBlockSize() const;

    int64_t fallbackStart_ = 0;
    uint32_t sectorSize_ = 512;
    std::vector<JournalInfo> infos_;
    std::vector<Journal> journals_;
    std::vector<Record> records_;
};
