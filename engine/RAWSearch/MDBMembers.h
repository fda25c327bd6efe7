#pragma once

// Access databases (Jet and ACE): measured page by page while the scan
// streams past them, or on the device by their page words.

#include "StreamingRecord.h"

namespace ZizEdoza {

class CMDBAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 39;
    static constexpr RAW_FILE_TYPE kAceType = 76;
    static constexpr int64_t kPageSize = 4096;
    static constexpr int64_t kMaxSize = 2000000000;

    class CMDBRawFileInfo : public StreamingRecord {
    public:
        explicit CMDBRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

    private:
        int64_t zeroPages_ = 0;  // zero pages in a row
        bool pageCheck_ = true;  // pages are told by their first word
    };

    CMDBAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<CMDBRawFileInfo>(); }
};

}  // namespace ZizEdoza

// Measures a database on the device: its pages run while they open with a
// page word.
class FileMDBAnalyser : public IRawFileAnalyser {
public:
    static constexpr int64_t kCap = 0x6400000;
    FileMDBAnalyser() { analyserType = ZizEdoza::CMDBAnalyser::kType; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
