#include "TiffAnalyzer.h"

#include <cstring>
#include <new>

#include "FileTIFAnalyser.h"

namespace BruteForce {

TiffAnalyzer::TiffAnalyzer() : headerAnalyser_(new FileTIFAnalyser()) {
    analyserType = kType;
}

TiffAnalyzer::~TiffAnalyzer() {
    delete headerAnalyser_;
}

uint32_t TiffAnalyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr)
        return 0;
    static const char* const kHeaders[] = {"MM\0*", "MMOR", "II*\0", "IIU\0", "IIRO", "IIRS"};
    bool match = std::memcmp(sector, "FUJIFILMCCD-RAW ", 16) == 0;
    for (const char* header : kHeaders)
        match = match || std::memcmp(sector, header, 4) == 0;
    if (!match)
        return 0;
    info.fileType = kType;
    return 1;
}

CRawFileInfo* TiffAnalyzer::CreateRawFileInfo() {
    return new (std::nothrow) TiffRawFileInfo(headerAnalyser_);
}

RAW_FILE_TYPE TiffRawType(const std::string& make, const std::string& model, bool dng,
                          bool panasonicHeader, RAW_FILE_TYPE current) {
    const auto has = [](const std::string& text, const char* part) {
        return text.find(part) != std::string::npos;
    };
    if (dng)
        return 88;
    if (has(make, "NIKON"))
        return 77;
    if (has(make, "CANON"))
        return 83;
    if (has(make, "SONY"))
        return has(model, "DSC-R1") ? 84 : 85;
    if (has(make, "PANASONIC"))
        return !panasonicHeader || has(model, "DMC-") ? 87 : 86;
    if (has(make, "LEICA"))
        return panasonicHeader ? 86 : current;
    if (has(make, "KODAK"))
        return has(model, "DCS Pro SLR") ? 97 : 98;
    if (has(make, "EPSON"))
        return 100;
    if (has(make, "HASSELBLAD"))
        return 99;
    if (has(make, "MAMIYA"))
        return 101;
    if (has(make, "PENTAX"))
        return 104;
    if (has(make, "SAMSUNG"))
        return 106;
    if (has(make, "OLYMPUS"))
        return 107;
    return current;
}

}  // namespace BruteForce
