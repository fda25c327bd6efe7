#pragma once

#include <string>

#include "RawFileAnalyser.h"

namespace BruteForce {

// TIFF files and the camera raws built on TIFF directories (and Fujifilm
// RAF files, which carry one). Each is measured by FileTIFAnalyser's walk
// over its directories, through the raw search's look-back ring.
class TiffAnalyzer : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 64;

    TiffAnalyzer();
    ~TiffAnalyzer() override;
    TiffAnalyzer(const TiffAnalyzer&) = delete;
    TiffAnalyzer& operator=(const TiffAnalyzer&) = delete;

    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;

private:
    IRawFileAnalyser* headerAnalyser_;  // owned
};

// The camera-raw type of a TIFF file from its make and model; `current`
// when no maker row applies. `panasonicHeader` is an "IIU" header.
RAW_FILE_TYPE TiffRawType(const std::string& make, const std::string& model, bool dng,
                          bool panasonicHeader, RAW_FILE_TYPE current);

}  // namespace BruteForce
