#pragma once

#include <cstdint>

#include "RawFileAnalyser.h"

namespace BruteForce {

// SQLite 3 databases, measured page by page while the scan streams past
// them and typed from their content: contacts databases and the schemas of
// two drawing and board applications.
class CFCPEvtAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kDatabase = 115;
    static constexpr RAW_FILE_TYPE kContacts = 121;
    static constexpr RAW_FILE_TYPE kMuse = 128;
    static constexpr RAW_FILE_TYPE kSketch = 143;
    static constexpr uint64_t kLargestSize = 200000000;

    class CFCPEvtFileInfo : public CRawFileInfo {
    public:
        bool WhetherImplementGuess() override { return true; }
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        // Retypes the record from the first table's schema text; true when
        // it knew the schema.
        bool JudeMuseSuffix(const uint8_t* cell, uint64_t cellBytes, const uint8_t* content,
                            uint64_t contentBytes);
        // Whether a page of `cells` cells names two contacts tables.
        static bool AnalyseABCDDBFileType(const uint8_t* page, uint32_t pageSize, uint32_t cells);
        // 1 when the page at `offset` ends the database (size set), 2 when not.
        int GuessCalculate(const uint8_t* page, uint64_t offset, long long sectorNumber);
        void EndSearch(uint64_t offset, long long sectorNumber);

        uint32_t pageSize = 0;
        uint64_t offset = 0;
        uint32_t databasePages = 0;
        uint32_t chainStarted = 0;
        uint32_t runCount = 0;
        uint32_t lastLinkByte = 0;
        uint32_t freelistPages = 0;
        uint16_t contentStart = 0;
        uint16_t firstCell = 0;
        bool schemaTestPending = true;

    private:
        bool headerRead_ = false;
    };

    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;
};

}  // namespace BruteForce
