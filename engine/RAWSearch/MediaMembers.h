#pragma once

// Streaming members of chained media and archive formats whose records walk
// their structures as the sectors pass: LZH archives, Ogg, Flash video,
// MPEG program streams and RealMedia. Each hands an unfinished record to a
// header analyser that walks the same structures on the device.

#include "ChainRecord.h"

// LZH archive headers of levels 0 to 2, ending at the archive's zero byte.
class LzhWalk : public ChainWalk {
public:
    Step StepAt(const unsigned char* at, int64_t room) override;
};

// Ogg pages, ending where no page follows.
class OggWalk : public ChainWalk {
public:
    Step StepAt(const unsigned char* at, int64_t room) override;
};

// Flash video tags, ending after the last tag's trailing size.
class FlvWalk : public ChainWalk {
public:
    FlvWalk() { position = 9; }
    Step StepAt(const unsigned char* at, int64_t room) override;

private:
    uint32_t expectedTagSize_ = 0;
    uint32_t previousDataSize_ = 1;
};

// MPEG program-stream packs and packets, ending at the end code or where
// no start code follows.
class MpgWalk : public ChainWalk {
public:
    Step StepAt(const unsigned char* at, int64_t room) override;

private:
    int zeroRun_ = 0;
    int64_t zeroStart_ = 0;
};

// RealMedia chunks, ending after the last index chunk, or after the data
// packets (and the two zero words some writers close the file with).
class RmWalk : public ChainWalk {
public:
    Step StepAt(const unsigned char* at, int64_t room) override;

private:
    uint32_t packetsLeft_ = 0;
    bool afterData_ = false;
};

// True for the six-byte method names of LZH headers ("-lh5-" and its kin).
bool IsLzhMethod(const unsigned char* method);

namespace Zorado {

// The stream gives a file up at ten times the format's maximum of 0xC800000.
constexpr int64_t kLimit = 10 * int64_t{0xC800000};

class LZHAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 36;
    class LZHRawFileInfo : public ChainRecord {
    public:
        explicit LZHRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, kLimit, kType) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        LzhWalk walk_;
    };
    LZHAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<LZHRawFileInfo>(); }
};

// Admits one Ogg record at a time: the pages inside an open stream are not
// new files. The open record belongs to this analyser, which the search
// makes afresh for every scan.
class OGGAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 82;
    class OGGRawFileInfo : public ChainRecord {
    public:
        OGGRawFileInfo(IRawFileAnalyser* header, OGGAnalyser* owner)
            : ChainRecord(header, kLimit, kType), owner_(owner) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;
        void WillBeRemove(unsigned char* sector, long long sectorNumber) override;

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        void Close();
        OggWalk walk_;
        OGGAnalyser* owner_;  // not owned; cleared once the record closes
    };
    OGGAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<OGGRawFileInfo>(this); }

    int64_t openStart = -1;  // start sector of the open record, or -1
};

class FLVAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 90;
    class FLVRawFileInfo : public ChainRecord {
    public:
        explicit FLVRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, kLimit, kType) {}

    protected:
        ChainWalk& Walk() override { return walk_; }
        bool Begin(const unsigned char* header, int sectorSize) override;

    private:
        FlvWalk walk_;
    };
    FLVAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<FLVRawFileInfo>(); }
};

class MPGAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 109;
    class MPGRawFileInfo : public ChainRecord {
    public:
        explicit MPGRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, kLimit, kType) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        MpgWalk walk_;
    };
    MPGAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<MPGRawFileInfo>(); }
};

class RM_RMVBAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kRMType = 94;
    static constexpr RAW_FILE_TYPE kRMVBType = 95;
    class RM_RMVBRawFileInfo : public ChainRecord {
    public:
        RM_RMVBRawFileInfo(IRawFileAnalyser* header, RAW_FILE_TYPE type)
            : ChainRecord(header, kLimit, type) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        RmWalk walk_;
    };
    RM_RMVBAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<RM_RMVBRawFileInfo>(0); }
    // RMVB when a stream description names a video stream, else RM.
    static RAW_FILE_TYPE TypeOf(const unsigned char* header);
};

}  // namespace Zorado

// The header analysers that measure these formats on the device.
class FileLZHAnalyser : public IRawFileAnalyser {
public:
    FileLZHAnalyser() { analyserType = Zorado::LZHAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

class CFileOggAnalyser : public IRawFileAnalyser {
public:
    CFileOggAnalyser() { analyserType = Zorado::OGGAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

class FileFLVAnalyser : public IRawFileAnalyser {
public:
    FileFLVAnalyser() { analyserType = Zorado::FLVAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

class FileMPGAnalyser : public IRawFileAnalyser {
public:
    FileMPGAnalyser() { analyserType = Zorado::MPGAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

class FileRM_RMVBAnalyser : public IRawFileAnalyser {
public:
    FileRM_RMVBAnalyser() { analyserType = Zorado::RM_RMVBAnalyser::kRMType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
