#pragma once

// Streaming members whose header usually states the file's length: Outlook
// Express mail stores and StuffIt archives. Their other forms end at a zero
// tail or at an end mark.

#include "StreamingRecord.h"

namespace ZizEdoza {

class DbxAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 21;
    static constexpr int64_t kMaxSize = 500000000;
    class DBXRawFileInfo : public StreamingRecord {
    public:
        explicit DBXRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

    private:
        bool begun_ = false;
        bool zeroTail_ = false;
    };
    DbxAnalyser() : StreamingAnalyser(kType, nullptr) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<DBXRawFileInfo>(); }
};

class SITAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 92;
    static constexpr RAW_FILE_TYPE kSitxType = 93;
    static constexpr int64_t kMaxSize = 2000000000;
    class SITRawFileInfo : public StreamingRecord {
    public:
        explicit SITRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

    private:
        enum class Form { Unknown, ZeroTail, SizeField, StuffItX };
        Form form_ = Form::Unknown;
    };
    SITAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<SITRawFileInfo>(); }
};

}  // namespace ZizEdoza

// Measures a StuffIt archive on the device: the classic form by its size
// field, StuffIt X by its end mark.
class FileSITAnalyser : public IRawFileAnalyser {
public:
    static constexpr uint64_t kCap = 0x82000000;
    FileSITAnalyser() { analyserType = ZizEdoza::SITAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

// Where a StuffIt X end mark (02 D7 0A xx 98 F6 42 88) starts in `length`
// bytes, or -1.
int64_t FindStuffItXEnd(const unsigned char* bytes, int64_t length);
