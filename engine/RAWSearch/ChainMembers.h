#pragma once

// Streaming members that follow a chain of structures to its end: OneNote
// sections, InDesign objects, MXF key-length-value packets and NGRR data
// blocks.

#include "ChainRecord.h"

// OneNote sections, each opening with the file's signature and giving its
// own length.
class OneSectionWalk : public ChainWalk {
public:
    Step StepAt(const unsigned char* at, int64_t room) override;
};

// InDesign objects from the first data page; the file ends with the page of
// the last object.
class InddObjectWalk : public ChainWalk {
public:
    Step StepAt(const unsigned char* at, int64_t room) override;

private:
    bool begun_ = false;
};

// MXF packets: a 16-byte key and a 4-byte length.
class MxfPacketWalk : public ChainWalk {
public:
    Step StepAt(const unsigned char* at, int64_t room) override;
};

// NGRR "data" blocks after the 60-byte header.
class NgrrBlockWalk : public ChainWalk {
public:
    NgrrBlockWalk() { position = 60; }
    Step StepAt(const unsigned char* at, int64_t room) override;
};

namespace ZizEdoza {

// The 12 bytes every OneNote section carries at its byte 4.
extern const unsigned char kOneSignature[12];

class OneAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 49;
    class ONERawFileInfo : public ChainRecord {
    public:
        explicit ONERawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, 400000000, 0) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        OneSectionWalk walk_;
    };
    OneAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<ONERawFileInfo>(); }
};

class InddAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 127;
    class InddRawFileInfo : public ChainRecord {
    public:
        explicit InddRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, 200000000, 0) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        InddObjectWalk walk_;
    };
    InddAnalyser() : StreamingAnalyser(kType, nullptr) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<InddRawFileInfo>(); }
};

class MxfAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 142;
    class MxfRawFileInfo : public ChainRecord {
    public:
        explicit MxfRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, 2000000000, 0) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        MxfPacketWalk walk_;
    };
    MxfAnalyser() : StreamingAnalyser(kType, nullptr) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<MxfRawFileInfo>(); }
};

class NGRRAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 137;
    class NGRRRawFileInfo : public ChainRecord {
    public:
        explicit NGRRRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, 52428800, 0) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        NgrrBlockWalk walk_;
    };
    NGRRAnalyser() : StreamingAnalyser(kType, nullptr) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<NGRRRawFileInfo>(); }
};

}  // namespace ZizEdoza

class FileONEAnalyser : public IRawFileAnalyser {
public:
    static constexpr int64_t kCap = 0x1A000000;
    FileONEAnalyser() { analyserType = ZizEdoza::OneAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
