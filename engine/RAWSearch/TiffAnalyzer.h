#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "RawFileAnalyser.h"

class StreamWindow;

namespace BruteForce {

// TIFF files and the camera raws built on TIFF directories (and Fujifilm
// RAF files, which carry one). Each is measured by following its directories
// while the scan streams past it; what the stream cannot settle (RAF and
// "IIU" files at once, damaged or far-flung directories, files still open at
// the end) is measured on the device by FileTIFAnalyser.
class TiffAnalyzer : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 64;

    class TiffRawFileInfo : public CRawFileInfo {
    public:
        explicit TiffRawFileInfo(IRawFileAnalyser* headerAnalyser)
            : headerAnalyser_(headerAnalyser) {
            fileType = kType;
        }

        bool WhetherImplementGuess() override { return true; }
        void WillBeRemove(unsigned char*, long long) override { analyser = headerAnalyser_; }
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

    private:
        enum class Read { kDone, kWait, kFailed };

        int Start(const unsigned char* sector, int sectorSize);
        // Reads every waiting directory the window holds; false ends the walk
        // (a link that leads back before the first directory).
        bool ReadWaiting(const StreamWindow& window);
        Read ReadDirectory(const StreamWindow& window, uint64_t offset, bool main);
        // False when a value the walk needs is not in the window.
        bool Entry(const StreamWindow& window, const uint8_t* entry);
        bool ReadNumber(const StreamWindow& window, uint64_t at, uint32_t componentSize,
                        uint64_t& value) const;
        bool ReadText(const StreamWindow& window, uint64_t at, uint64_t length,
                      std::string& text) const;
        void Raise(uint64_t end);
        int Finish(int64_t fileSize, int sectorSize);

        IRawFileAnalyser* headerAnalyser_;  // not owned
        bool bigEndian_ = false;
        bool failed_ = false;
        bool panasonic_ = false;
        bool dng_ = false;
        bool imageData_ = false;  // strip, thumbnail or tile sizes were read
        bool makeRead_ = false;
        bool modelRead_ = false;
        int directories_ = 0;
        uint64_t firstDirectory_ = 0;
        uint64_t endEstimate_ = 8192;
        uint64_t lastReferenced_ = 0;  // the furthest byte any structure names
        uint64_t pixelEstimate_ = 0;
        uint64_t width_ = 0;
        uint64_t height_ = 0;
        uint64_t stripOffset_ = 0;
        uint64_t thumbnailOffset_ = 0;
        uint64_t tileOffsets_ = 0;
        uint64_t tileOffsetsCount_ = 0;
        uint32_t tileOffsetsComponent_ = 0;
        std::string make_;
        std::string model_;
        // Directories still to read, by file offset: true for the main chain.
        std::map<uint64_t, bool> waiting_;
    };

    TiffAnalyzer();
    ~TiffAnalyzer() override;
    TiffAnalyzer(const TiffAnalyzer&) = delete;
    TiffAnalyzer& operator=(const TiffAnalyzer&) = delete;

    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;

private:
    IRawFileAnalyser* headerAnalyser_;  // owned
};

// The camera-raw type of a TIFF file from its make and model; `current`
// when no maker row applies. `panasonicHeader` is an "IIU" header.
RAW_FILE_TYPE TiffRawType(const std::string& make, const std::string& model, bool dng,
                          bool panasonicHeader, RAW_FILE_TYPE current);

}  // namespace BruteForce
