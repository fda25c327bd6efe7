#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

namespace BruteForce {

// AutoCAD drawings, sized from their file header's section locators,
// (scrambled in later versions) the address of the header's second copy, or
// (in 2007 drawings) the file size named in the coded file header.
class CDWGAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 24;

    class CDWGRawInfo : public CRawFileInfo {
    public:
        static constexpr uint64_t kMaxSize = 0x514000000;

        CDWGRawInfo() { fileType = kType; }
        bool WhetherImplementGuess() override { return true; }
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        static constexpr int32_t kCodedHeaderBytes = 984;
        int32_t headerBytesWanted = kCodedHeaderBytes;
        int32_t headerBytesCollected = 0;
        uint8_t headerBuffer[kCodedHeaderBytes] = {};
        int32_t versionFamily = 0;  // 0 until the first sector

    private:
        int CollectCodedHeader(const unsigned char* sector, int sectorSize, int64_t position);
    };

    CDWGAnalyser() { analyserType = 0xFFFFFFFF; }
    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;
};

// Drawing exchange files (text): they end with an "EOF" group.
class CDXFAnalyser : public IRawFileAnalyser, public ISpecialRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 25;

    class CDXFRawFileInfo : public CRawFileInfo {
    public:
        static constexpr int64_t kMaxSize = 0xD000000;

        CDXFRawFileInfo() { fileType = kType; }
        bool WhetherImplementGuess() override { return true; }
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        char endMarker[16] = {};
        uint32_t endMarkerLength = 0;  // 0 until the first sector
    };

    CDXFAnalyser() { analyserType = 0xFFFFFFFF; }
    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    int AnalyseBufferEx(unsigned char* sector, CRawFileInfo& info, long long sectorSize,
                        long long sectorNumber, long long windowStart,
                        long long windowEnd) override;
    ISpecialRawFileAnalyser* GetSpecialRawFile() override { return this; }
    CRawFileInfo* CreateRawFileInfo() override;
};

// Encapsulated PostScript: the text form ends where its data meets zeros;
// the binary form names its sections' extents in its header.
class CEPSAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 27;
    static constexpr uint64_t kMaxTextSize = 0x514000000;

    CEPSAnalyser() { analyserType = 0xFFFFFFFF; }
    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;

private:
    bool textMatched_ = false;  // the last match was the text form
};

// FreeHand 11 drawings, ended where their data meets zeros.
class CFH11Analyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 29;
    static constexpr uint64_t kMaxSize = 0xD000000;

    CFH11Analyser() { analyserType = 0xFFFFFFFF; }
    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;
};

}  // namespace BruteForce
