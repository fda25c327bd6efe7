#pragma once

// XML texts carved by their closing tags: SVG drawings, and the GPX tracks,
// property lists, CSL styles and ENEX notebooks that share their start.

#include "StreamingRecord.h"

namespace Zorado {

class SVGAnalyser : public StreamingAnalyser {
public:
    static constexpr RAW_FILE_TYPE kSVG = 91;
    static constexpr RAW_FILE_TYPE kCSL = 19;
    static constexpr RAW_FILE_TYPE kENEX = 139;
    static constexpr RAW_FILE_TYPE kGPX = 130;
    static constexpr RAW_FILE_TYPE kPLIST = 131;
    static constexpr int64_t kMaxSize = 0xA00000;

    class SVGRawFileInfo : public StreamingRecord {
    public:
        explicit SVGRawFileInfo(IRawFileAnalyser* header) : StreamingRecord(header) {}
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

    private:
        bool begun_ = false;
        bool lengthInHeader_ = false;  // the CD 01 00 00 form
    };

    SVGAnalyser();
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override { return NewRecord<SVGRawFileInfo>(); }
};

}  // namespace Zorado

// Measures an SVG text on the device: it ends in the first sector that ends
// in zeros.
class FileSVGAnalyser : public IRawFileAnalyser {
public:
    static constexpr uint64_t kCap = 0x500000;
    FileSVGAnalyser() { analyserType = Zorado::SVGAnalyser::kSVG; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
