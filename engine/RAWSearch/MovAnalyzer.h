#pragma once

#include <cstdint>
#include <string>

#include "RawBoxFileAnalyser.h"
#include "RawFileAnalyser.h"

namespace BruteForce {

// QuickTime and ISO base-media files (MOV, MP4, M4A, M4V, 3GP), typed from
// their ftyp brand and measured atom by atom while the scan streams past
// them; the camera or phone that made a movie names and tags it.
class MovAnalyzer : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kMov = 42;
    static constexpr RAW_FILE_TYPE k3gp = 2;
    static constexpr RAW_FILE_TYPE kMp4 = 44;
    static constexpr RAW_FILE_TYPE kM4a = 45;
    static constexpr RAW_FILE_TYPE kM4v = 46;
    static constexpr RAW_FILE_TYPE kTrec = 138;

    class MovRawFileInfo : public CRawFileInfo {
    public:
        explicit MovRawFileInfo(IRawFileAnalyser* headerAnalyser)
            : headerAnalyser_(headerAnalyser) {}

        bool WhetherImplementGuess() override { return true; }
        void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        int64_t nextAtomOffset = 0;
        int32_t movieHeaderCount = 0;
        uint8_t isoFlag = 0;
        int32_t atomCount = 0;
        uint8_t littleEndian = 0;
        std::string make;
        std::string model;
        int32_t sectorSize = 512;

    private:
        // Settles type, name, tag and size once the walk is over.
        void EndStep(const uint8_t* sector, long long sectorNumber, const SearchContext* context);
        // Make, model and date from an Exif block in the movie header at
        // `atom`; nothing at or past `end` is read.
        void ReadExif(const uint8_t* atom, const uint8_t* end);
        void FindDeviceName(const uint8_t* sector, long long sectorNumber,
                            const SearchContext& context);

        IRawFileAnalyser* headerAnalyser_;  // not owned
    };

    MovAnalyzer() { analyserType = kMov; }

    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;

    // The type an ftyp box's brand gives, 0 for none.
    static RAW_FILE_TYPE BrandType(const uint8_t* sector);
    // 138 when the header sector has "free" at byte 28, else 44.
    static RAW_FILE_TYPE FreeTest(const uint8_t* sector);

protected:
    virtual RAW_FILE_TYPE InitialType() const { return kMov; }
    virtual IRawFileAnalyser* HeaderAnalyser() { return nullptr; }
};

// 3GPP files.
class C3GPAnalyser : public MovAnalyzer {
public:
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;

protected:
    RAW_FILE_TYPE InitialType() const override { return k3gp; }
};

// MPEG-4 files; what the stream cannot settle is measured on the device.
class Mp4Analyzer : public MovAnalyzer {
public:
    Mp4Analyzer() { analyserType = kMp4; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;

protected:
    RAW_FILE_TYPE InitialType() const override { return kMp4; }
    IRawFileAnalyser* HeaderAnalyser() override { return &fileAnalyser_; }

private:
    class FileMP4Analyser : public IRawFileAnalyser {
    public:
        uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override {
            return static_cast<uint32_t>(CRawBoxFileAnalyser().GetFileSize(info, device));
        }
    };
    FileMP4Analyser fileAnalyser_;
};

}  // namespace BruteForce
