#pragma once

// Streaming members of container formats whose end is a trailer or a
// last record: disk images (by their "koly" trailer), MOBI books, Magic
// Lantern video and 3D Studio scenes.

#include "ChainRecord.h"

// The 512-byte "koly" trailer that closes a disk image, looked for at the
// 512-byte steps of the file.
class KolyWalk : public ChainWalk {
public:
    Step StepAt(const unsigned char* at, int64_t room) override;
};

// A MOBI book: the record list's last entry leads to the last record,
// which is the end-of-file record.
class MobiWalk : public ChainWalk {
public:
    Step StepAt(const unsigned char* at, int64_t room) override;

private:
    int visits_ = 0;
};

// Magic Lantern video blocks: a known tag and the block's length.
class MlvBlockWalk : public ChainWalk {
public:
    Step StepAt(const unsigned char* at, int64_t room) override;
};

namespace Zorado {

class DMGAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 113;
    class DMGRawFileInfo : public ChainRecord {
    public:
        explicit DMGRawFileInfo(IRawFileAnalyser* header)
            : ChainRecord(header, 10 * int64_t{0xC800000}, kType) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        KolyWalk walk_;
    };
    DMGAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<DMGRawFileInfo>(); }
};

}  // namespace Zorado

namespace ZizEdoza {

// Measures a MOBI book on the device from its record list.
class FileMOBIAnalyser : public IRawFileAnalyser {
public:
    FileMOBIAnalyser() { analyserType = 133; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

class MOBIAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 133;
    class MOBIRawFileInfo : public ChainRecord {
    public:
        explicit MOBIRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, 0x9600000, 0) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        MobiWalk walk_;
    };
    MOBIAnalyser() : StreamingAnalyser(kType, new FileMOBIAnalyser()) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<MOBIRawFileInfo>(); }
};

class MLvAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 146;
    class MLvRawFileInfo : public ChainRecord {
    public:
        explicit MLvRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, 0x7D000000, 0) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        MlvBlockWalk walk_;
    };
    MLvAnalyser() : StreamingAnalyser(kType, nullptr) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<MLvRawFileInfo>(); }
};

// 3D Studio scenes: the main chunk states the file's length; the NCSD form
// counts 512-byte media units.
class New3DSAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 1;
    static constexpr int64_t kMaxSize = 1000000000;
    class New3DSRawFileInfo : public StreamingRecord {
    public:
        explicit New3DSRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;
    };
    New3DSAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<New3DSRawFileInfo>(); }
    // The length a 3D Studio header states, or 0.
    static int64_t StatedSize(const unsigned char* header);
};

}  // namespace ZizEdoza

class FileDMGAnalyser : public IRawFileAnalyser {
public:
    FileDMGAnalyser() { analyserType = Zorado::DMGAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

class File3DSAnalyser : public IRawFileAnalyser {
public:
    File3DSAnalyser() { analyserType = ZizEdoza::New3DSAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
