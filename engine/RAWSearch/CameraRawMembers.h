#pragma once

// Streaming members of two camera raw formats that carry no TIFF
// directories: Canon CRW (a heap of records whose last table ends the file)
// and Sigma X3F (a "SECd" directory at the end).

#include "StreamingRecord.h"

class RawFileBuffer;

namespace Zorado {

class CRWAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 18;
    static constexpr int64_t kMaxSize = 0x6400000;

    class CRWRawFileInfo : public StreamingRecord {
    public:
        explicit CRWRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;
    };

    CRWAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<CRWRawFileInfo>(); }
};

class X3FAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 108;
    static constexpr int64_t kMaxSize = 0x6400000;

    class X3FRawFileInfo : public StreamingRecord {
    public:
        explicit X3FRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;
    };

    X3FAnalyser();
    // The registry's "FOVb" key is the whole test.
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<X3FRawFileInfo>(); }
};

}  // namespace Zorado

// How far past a record mark of a CRW's closing table the file ends (at
// least 6 bytes readable at `mark`); 0 when the bytes there are no mark.
int64_t CrwTableTail(const unsigned char* mark);

// Measures a CRW on the device by its closing record table; without one
// the file is given a fixed 50 MiB.
class FileCRWAnalyser : public IRawFileAnalyser {
public:
    static constexpr int64_t kCap = 0x3200000;
    static constexpr int64_t kNotFoundSize = 52428800;
    FileCRWAnalyser() { analyserType = Zorado::CRWAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
    // The walk: the size found, or the fixed size when no table is found.
    int64_t GetRawFileSizeEX(RawFileBuffer& reader);
};

// Measures an X3F on the device by its "SECd" directory.
class FileX3FAnalyser : public IRawFileAnalyser {
public:
    static constexpr int64_t kCap = 0x6800001;
    FileX3FAnalyser() { analyserType = Zorado::X3FAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
