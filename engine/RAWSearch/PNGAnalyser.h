#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

namespace ZizEdoza {

// PNG pictures, measured chunk by chunk while the scan streams past them; a
// picture whose end the stream does not reach is handed to FilePNGAnalyser.
class PNGAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kType = 51;

    // Walks the chunk chain one sector at a time up to the IEND chunk.
    class PNGRawFileInfo : public CRawFileInfo {
    public:
        static constexpr int64_t kMaxSize = 100000000;

        explicit PNGRawFileInfo(IRawFileAnalyser* headerAnalyser)
            : headerAnalyser_(headerAnalyser) {}

        bool WhetherImplementGuess() override { return true; }
        void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        int64_t nextChunkOffset = 20;  // the signature and IHDR's length, type and CRC
        int64_t maxSize = kMaxSize;
        bool headerPending = true;

    private:
        IRawFileAnalyser* headerAnalyser_;  // not owned
        // A chunk header ran past the last sector in memory: read it next call.
        bool deferred_ = false;
    };

    PNGAnalyser();
    ~PNGAnalyser() override;
    PNGAnalyser(const PNGAnalyser&) = delete;
    PNGAnalyser& operator=(const PNGAnalyser&) = delete;

    uint32_t GetRawFileSize(CRawFileInfo&, IStorageDevice*) override { return 0; }
    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;

private:
    IRawFileAnalyser* headerAnalyser_;  // owned
};

}  // namespace ZizEdoza
