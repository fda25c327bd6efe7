#pragma once

// Streaming members of MIDI songs and of Photoshop and Paint Shop Pro
// pictures, with the header analysers that measure them on the device.

#include "ChainRecord.h"

// MIDI track chunks after the 14-byte header chunk.
class MidWalk : public ChainWalk {
public:
    MidWalk() { position = 14; }
    Step StepAt(const unsigned char* at, int64_t room) override;
};

// Paint Shop Pro blocks after the 36-byte file header.
class PspWalk : public ChainWalk {
public:
    PspWalk() { position = 36; }
    Step StepAt(const unsigned char* at, int64_t room) override;
};

// The length-prefixed sections of a Photoshop file before its image data:
// colour-mode data, image resources, layers and masks. It ends at the image
// data's compression word.
class PsdSectionWalk : public ChainWalk {
public:
    PsdSectionWalk() { position = 26; }
    Step StepAt(const unsigned char* at, int64_t room) override;

private:
    int section_ = 0;
};

namespace ZizEdoza {

class MIDAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 38;
    class MIDRawFileInfo : public ChainRecord {
    public:
        explicit MIDRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, 10000000, 0) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        MidWalk walk_;
    };
    MIDAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<MIDRawFileInfo>(); }
};

class PSPAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 55;
    class PSPRawFileInfo : public ChainRecord {
    public:
        explicit PSPRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, 20000000, 0) {
            nameSuffix = ".";
        }

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        PspWalk walk_;
    };
    PSPAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<PSPRawFileInfo>(); }
};

// The record steps over the sections as they pass and leaves the image
// data, whose length only the row counts give, to the device walk.
class PSDAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 54;
    class PSDRawFileInfo : public ChainRecord {
    public:
        explicit PSDRawFileInfo(IRawFileAnalyser* header) : ChainRecord(header, 1000000000, 0) {}

    protected:
        ChainWalk& Walk() override { return walk_; }

    private:
        PsdSectionWalk walk_;
    };
    PSDAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<PSDRawFileInfo>(); }
};

}  // namespace ZizEdoza

class FileMIDAnalyser : public IRawFileAnalyser {
public:
    FileMIDAnalyser() { analyserType = ZizEdoza::MIDAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

class FilePSPAnalyser : public IRawFileAnalyser {
public:
    FilePSPAnalyser() { analyserType = ZizEdoza::PSPAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

class FilePSDAnalyser : public IRawFileAnalyser {
public:
    static constexpr int64_t kCap = 0xD000000;
    FilePSDAnalyser() { analyserType = ZizEdoza::PSDAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
