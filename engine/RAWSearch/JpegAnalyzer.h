#pragma once

#include <cstdint>

#include "JpegWalk.h"
#include "RawFileAnalyser.h"

namespace BruteForce {

// JPEG pictures: found by their first bytes, measured by following their
// structure while the scan streams past them, named after the camera model
// and tagged with the camera make of their Exif block. A picture the stream
// does not finish is measured on the device by FileJPGAnalyser.
class JpegAnalyzer : public IRawFileAnalyser, public ISpecialRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 35;

    class JpegRawFileInfo : public CRawFileInfo {
    public:
        static constexpr int64_t kMaxSizeWithExif = 52428800;
        static constexpr int64_t kMaxSizeWithoutExif = 20971520;

        explicit JpegRawFileInfo(IRawFileAnalyser* headerAnalyser)
            : headerAnalyser_(headerAnalyser) {
            fileType = kType;
        }

        bool WhetherImplementGuess() override { return true; }
        void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        // With an Exif block no end marker is looked for this far in.
        uint64_t skipLength = 1024;
        // Width x height once known: the picture ends when it grows past it.
        uint64_t pixelBound = 0;
        int64_t maxSize = kMaxSizeWithExif;
        bool exif = false;  // "Exif" at bytes 6 to 9

    private:
        void NameFromExif(const RawSpan& block);
        // Where the end marker lies in a sector ending in zeros (0: none),
        // for pictures whose structure could not be followed.
        int64_t EndInZeroTail(const unsigned char* sector, int sectorSize, long long sectorNumber,
                              const SearchContext& context) const;
        int Finish(int64_t fileSize, int sectorSize);

        IRawFileAnalyser* headerAnalyser_;  // not owned
        JpegWalk walk_;
        bool lost_ = false;
        bool exifRead_ = false;
        long long lastSector_ = -1;
    };

    JpegAnalyzer();
    ~JpegAnalyzer() override;
    JpegAnalyzer(const JpegAnalyzer&) = delete;
    JpegAnalyzer& operator=(const JpegAnalyzer&) = delete;

    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    int AnalyseBufferEx(unsigned char* sector, CRawFileInfo& info, long long sectorSize,
                        long long sectorNumber, long long windowStart,
                        long long windowEnd) override;
    ISpecialRawFileAnalyser* GetSpecialRawFile() override { return this; }
    CRawFileInfo* CreateRawFileInfo() override;

private:
    IRawFileAnalyser* headerAnalyser_;  // owned
};

// "JFIF" or "Exif" at bytes 6 to 9, in any case.
bool HasJpegIdentifier(const unsigned char* header);

}  // namespace BruteForce
