#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "FileMP3Analyser.h"
#include "RawFileAnalyser.h"

namespace BruteForce {

// MPEG audio files, measured frame by frame (or, after an ID3v2 tag, up to
// the zero-padded sector that holds their end) while the scan streams past
// them, and named and tagged from their ID3 tags. What the stream cannot
// settle goes to FileMP3Analyser.
class MP3Analyzer : public IRawFileAnalyser, public ISpecialRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 43;

    class MP3RawFileInfo : public CRawFileInfo {
    public:
        static constexpr int32_t kMinimumSize = 20480;
        static constexpr uint64_t kMaximumSize = 209715200;

        explicit MP3RawFileInfo(MP3Analyzer* owner) : owner_(owner) {}

        bool WhetherImplementGuess() override { return true; }
        void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;
        // The frame walk of a file that starts with a frame header.
        int CalcRawSizeEx(unsigned char* sector, int sectorSize, long long sectorNumber,
                          SearchContext& context);

        int64_t pictureOffset = 0;
        int64_t pictureSize = 0;
        int32_t minimumSize = kMinimumSize;
        uint64_t walkedBytes = 0;
        uint32_t frameMode = 0;
        uint64_t walkLimit = 0;
        uint64_t maximumSize = kMaximumSize;
        int64_t lastSector = 0;
        std::string detectedCharset;

    private:
        // Reads the ID3v2 tag at the file's start from `buffered` bytes.
        void GatherTagInfo(const uint8_t* bytes, int64_t buffered);
        // The text of one text frame; `detect` asks for character-set detection.
        std::string GetTagValue(const uint8_t* body, uint32_t frameSize, bool detect);
        bool AdjustMp3Health(const uint8_t* sector, int sectorSize, long long sectorNumber,
                             const SearchContext& context) const;
        // True when `window` holds "TAG"; names the file from an ID3v1 tag
        // there and moves `tagEnd` to the tag's end (or -1 when unknown).
        bool FindTagInEndSector(const uint8_t* window, int length, uint32_t zeros,
                                long long sectorNumber, int64_t& tagEnd);
        bool FindDuplicateByteCount(const uint8_t* bytes, int length, uint32_t zeros);
        int Finish();

        MP3Analyzer* owner_;  // not owned
        bool started_ = false;
        std::unique_ptr<uint32_t[]> byteCounts_;
    };

    MP3Analyzer();

    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;
    ISpecialRawFileAnalyser* GetSpecialRawFile() override { return this; }
    int AnalyseBufferEx(unsigned char* sector, CRawFileInfo& info, long long sectorSize,
                        long long sectorNumber, long long windowStart,
                        long long windowEnd) override;

    // The start of the frame-sync file whose first frames chained; no new
    // frame-sync candidate is taken while it is set. It belongs to this
    // scan's analyser, so it never outlives the scan.
    int64_t m_lastStartSector = 0;

private:
    FileMP3Analyser fileAnalyser_;
};

}  // namespace BruteForce
