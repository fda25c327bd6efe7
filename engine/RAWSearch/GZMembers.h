#pragma once

// gzip members, measured by inflating them: the compressed stream and its
// 8-byte trailer end the file to the byte.

#include <memory>
#include <vector>

#include "StreamingRecord.h"

struct z_stream_s;

// Inflates a gzip member fed piece by piece, keeping nothing of the output,
// to learn where it ends.
class GzipStreamEnd {
public:
    GzipStreamEnd();
    ~GzipStreamEnd();
    GzipStreamEnd(const GzipStreamEnd&) = delete;
    GzipStreamEnd& operator=(const GzipStreamEnd&) = delete;

    enum class Result { More, End, Broken };
    // Reads the next `length` bytes of the member. At End, `used` is how many
    // of them belong to it.
    Result Feed(const unsigned char* bytes, int64_t length, int64_t& used);

private:
    std::unique_ptr<z_stream_s> stream_;
    std::vector<unsigned char> scratch_;
    bool ready_ = false;
    bool broken_ = false;
};

// The gzip header test: deflate and known flags, any operating system (RFC
// 1952 names 255 "unknown", and writers use it).
bool IsValidGzHeader(const unsigned char* header);

namespace ZizEdoza {

class GZAnalyzer : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 31;
    static constexpr int64_t kMaxSize = 400000000;

    class GZRawFileInfo : public StreamingRecord {
    public:
        explicit GZRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

    private:
        GzipStreamEnd stream_;
        bool inflating_ = true;
        long long nextSector_ = -1;
    };

    GZAnalyzer();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<GZRawFileInfo>(); }
};

}  // namespace ZizEdoza

// Measures a gzip member on the device and names it after its stored name.
class FileGZAnalyser : public IRawFileAnalyser {
public:
    static constexpr uint64_t kCap = 0xD000000;
    FileGZAnalyser() { analyserType = ZizEdoza::GZAnalyzer::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
