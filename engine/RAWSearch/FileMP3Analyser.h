#pragma once

#include <cstdint>
#include <string>

#include "RawFileAnalyser.h"

class RawFileBuffer;

// Measures an MP3 on the device when the stream could not: from its Xing or
// Info frame, by walking its frames, or by walking past its ID3v2 tag.
class FileMP3Analyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 43;

    FileMP3Analyser() { analyserType = kType; }

    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;

private:
    uint32_t GetRawFileSizeXING(CRawFileInfo& info, RawFileBuffer& reader);
    uint32_t GetRawFileSizeFromFrame(CRawFileInfo& info, RawFileBuffer& reader);
    uint32_t GetRawFileSizeFromTag(CRawFileInfo& info, RawFileBuffer& reader);
    // Where the tag-path scan ends, walking from `position`.
    uint64_t ScanAfterTag(RawFileBuffer& reader, uint64_t position, std::string& title,
                          std::string& artist, std::string& year);
    // Where a file whose frames end in an APE tag (at `tag`) ends; `fallback`
    // when no zero-padded sector follows soon.
    static uint64_t EndAfterApeTag(RawFileBuffer& reader, uint64_t tag, uint64_t fallback);
    void NameFromTexts(CRawFileInfo& info, const std::string& artist, const std::string& title);

    // The sectors of the last file measured by its frames: a file that
    // starts or ends inside them is part of it.
    int64_t windowStart_ = 0;
    int64_t windowSectors_ = 0;
};
