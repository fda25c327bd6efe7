#pragma once

// RAR and TAR archives, measured by following their chain of headers.

#include "StreamingRecord.h"

// RAR 1.5 to 4.x block headers.
class classRarSearch {
public:
    // The whole size of the block at `block` (header and data) split into
    // halves, or 0 when the bytes are no valid block; `length` is the most
    // header bytes the caller allows.
    static int GetBlockSize(const unsigned char* block, int length, unsigned int* low,
                            unsigned int* high);
};

// The end-of-archive block that closes a RAR archive.
extern const unsigned char kRarEndBlock[7];

// 512-byte TAR headers.
struct TarHeader {
    // True when the block is a ustar header.
    static bool IsHeader(const unsigned char* block);
    // The entry's data length from the header's size field (octal, or
    // base-256 for large entries).
    static uint64_t EntrySize(const unsigned char* block);
    // True when the whole block is zeros (the end-of-archive marker).
    static bool IsEndBlock(const unsigned char* block);
};

namespace ZizEdoza {

class RARAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 58;
    static constexpr int64_t kMaxSize = 0x40000000;

    class RARRawFileInfo : public StreamingRecord {
    public:
        explicit RARRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        int64_t nextOffset = 7;  // just after the marker block
        bool mainHeaderPending = true;
        bool chainIntact = true;
    };

    RARAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<RARRawFileInfo>(); }
};

// Admits one TAR record at a time: the member headers of an open archive,
// and archives stored in it, are not new files. The open record belongs to
// this analyser, which the search makes afresh for every scan.
class TARAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 63;

    class TARRawFileInfo : public StreamingRecord {
    public:
        TARRawFileInfo(IRawFileAnalyser* header, TARAnalyser* owner)
            : StreamingRecord(header), owner_(owner) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;
        void WillBeRemove(unsigned char* sector, long long sectorNumber) override;

        int64_t nextOffset = 0;  // the next header block

    private:
        void Close();
        TARAnalyser* owner_;  // not owned; cleared once the record closes
    };

    TARAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<TARRawFileInfo>(this); }

    int64_t openStart = -1;  // start sector of the open record, or -1
};

}  // namespace ZizEdoza

class FileRARAnalyser : public IRawFileAnalyser {
public:
    static constexpr int64_t kCap = 0xD000000;
    FileRARAnalyser() { analyserType = ZizEdoza::RARAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

class FileTARAnalyser : public IRawFileAnalyser {
public:
    static constexpr int64_t kCap = 0xD000000;
    FileTARAnalyser() { analyserType = ZizEdoza::TARAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
