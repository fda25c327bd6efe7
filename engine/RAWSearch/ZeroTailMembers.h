#pragma once

// Streaming members whose file is followed by zero bytes: the file ends in
// the first sector that ends in zeros, after its last nonzero byte.

#include "StreamingRecord.h"

// The zero-tail end rule, with each format's minimum and maximum size.
class ZeroTailRecord : public StreamingRecord {
public:
    ZeroTailRecord(IRawFileAnalyser* headerAnalyser, int64_t minSize, int64_t maxSize)
        : StreamingRecord(headerAnalyser), minSize_(minSize), maxSize_(maxSize) {}

    int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                    SearchContext& context) override;

private:
    int64_t minSize_;
    int64_t maxSize_;
};

namespace ZizEdoza {

class PSAFE3Analyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 136;
    class PSAFE3RawFileInfo : public ZeroTailRecord {
    public:
        explicit PSAFE3RawFileInfo(IRawFileAnalyser* header)
            : ZeroTailRecord(header, 20, 52428800) {}
    };
    PSAFE3Analyser() : StreamingAnalyser(kType, nullptr) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<PSAFE3RawFileInfo>(); }
};

class SIBAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 134;
    class SIBRawFileInfo : public ZeroTailRecord {
    public:
        explicit SIBRawFileInfo(IRawFileAnalyser* header) : ZeroTailRecord(header, 512, 0xA00000) {}
    };
    SIBAnalyser() : StreamingAnalyser(kType, nullptr) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<SIBRawFileInfo>(); }
};

class JKSAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 135;
    class JKSRawFileInfo : public ZeroTailRecord {
    public:
        explicit JKSRawFileInfo(IRawFileAnalyser* header) : ZeroTailRecord(header, 20, 0xA00000) {}
    };
    JKSAnalyser() : StreamingAnalyser(kType, nullptr) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<JKSRawFileInfo>(); }
};

// HTML texts; measured on the device by their closing tag when the stream
// does not finish them.
class HTMLAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 33;
    class HTMLRawFileInfo : public ZeroTailRecord {
    public:
        explicit HTMLRawFileInfo(IRawFileAnalyser* header) : ZeroTailRecord(header, 20, 0x100000) {}
    };
    HTMLAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<HTMLRawFileInfo>(); }
};

// WordPerfect graphics: the zero tail must be 16 bytes, and the header
// sector may end the file.
class WpgAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 69;
    class WPGRawFileInfo : public StreamingRecord {
    public:
        explicit WPGRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;
    };
    WpgAnalyser() : StreamingAnalyser(kType, nullptr) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<WPGRawFileInfo>(); }
};

}  // namespace ZizEdoza

// Measures an HTML text on the device up to its closing tag.
class FileHTMAnalyser : public IRawFileAnalyser {
public:
    FileHTMAnalyser() { analyserType = 33; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
