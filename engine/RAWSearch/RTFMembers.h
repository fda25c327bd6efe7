#pragma once

// Rich Text documents: one group that opens with the header and ends where
// its braces balance again.

#include "StreamingRecord.h"

// Follows the nesting of an RTF text: braces, escaped symbols and the raw
// bytes of \binN data.
class RtfGroupScanner {
public:
    // Reads `length` more bytes; answers the position just after the brace
    // that closes the outermost group, or -1 while it is still open.
    int64_t Feed(const unsigned char* bytes, int64_t length);

private:
    enum class State { Text, Escape, Word, BinNumber };
    State state_ = State::Text;
    int64_t depth_ = 0;
    char word_[8] = {};
    int wordLength_ = 0;
    int64_t binNumber_ = 0;
    int64_t binLeft_ = 0;
};

// Line breaks right after the closing brace still belong to the document:
// how many of the (at most two) bytes at `after` are such.
int RtfTrailingBreak(const unsigned char* after);

namespace ZizEdoza {

class RTFAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 60;
    static constexpr int64_t kMaxSize = 314572800;

    class RTFRawFileInfo : public StreamingRecord {
    public:
        explicit RTFRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

    private:
        RtfGroupScanner scanner_;
        long long nextSector_ = -1;
    };

    RTFAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<RTFRawFileInfo>(); }
};

}  // namespace ZizEdoza

// Measures an RTF document on the device by the same brace count.
class FileRTFAnalyser : public IRawFileAnalyser {
public:
    FileRTFAnalyser() { analyserType = ZizEdoza::RTFAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
