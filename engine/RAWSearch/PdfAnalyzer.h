#pragma once

#include <cstdint>
#include <memory>

#include "FileProperty.h"
#include "PdfTitleAnalyzer.h"
#include "RawFileAnalyser.h"

// Measures a PDF on the device: up to the end marker that closes it.
class FilePDFAnalyser : public IRawFileAnalyser {
public:
    static constexpr uint64_t kLongestWalk = 0xD000000;

    FilePDFAnalyser() { analyserType = 50; }
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};

namespace BruteForce {

// PDF documents and Illustrator drawings, measured while the scan streams
// past them (or on the device when the stream cannot end them) and named
// from their document information.
class PdfAnalyzer : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kPdf = 50;
    static constexpr RAW_FILE_TYPE kAi = 5;

    class PdfRawFileInfo : public CRawFileInfo {
    public:
        bool WhetherImplementGuess() override { return true; }
        // Hands the record to the device walk, named from what was read.
        void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        void JudgeAI(const uint8_t* bytes, int length);
        void PdfTagDealwith(const FileProperty& property);

        int64_t minimumSize = 20480;
        int64_t extraMinimum = 0;
        bool aiTestPending = true;
        bool nextSectorBuffered = false;
        uint64_t maximumSize = 200000000;
        bool metadataPending = true;
        FileProperty properties;
        PdfTitleAnalyzer titleReader;
    };

    PdfAnalyzer();
    ~PdfAnalyzer() override;

    // The stream or the device walk measures every match.
    uint32_t GetRawFileSize(CRawFileInfo& /*info*/, IStorageDevice* /*device*/) override {
        return 0;
    }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;

    FilePDFAnalyser* DeviceWalk() { return deviceWalk_.get(); }

private:
    std::unique_ptr<FilePDFAnalyser> deviceWalk_;
};

}  // namespace BruteForce
