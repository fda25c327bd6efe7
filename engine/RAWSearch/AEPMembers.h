#pragma once

// After Effects projects: a big-endian RIFF form ("RIFX") followed by an
// XMP packet; the file ends with the form, or after the packet where the
// zeros begin.

#include "StreamingRecord.h"

namespace ZizEdoza {

class AEPAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 144;
    static constexpr int64_t kMaxSize = 100000000;

    class AEPRawFileInfo : public StreamingRecord {
    public:
        explicit AEPRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

    private:
        int64_t formLength_ = 0;  // the form's length field: its bytes after the first 8
        bool packetSeen_ = false;
    };

    AEPAnalyser() : StreamingAnalyser(kType, nullptr) {}
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<AEPRawFileInfo>(); }
};

}  // namespace ZizEdoza
