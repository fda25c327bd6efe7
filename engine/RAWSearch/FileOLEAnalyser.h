#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "FileProperty.h"
#include "OleSummary.h"
#include "RawFileAnalyser.h"

// OLE compound files (old Word, Excel and PowerPoint documents, Visio,
// Publisher, Project and others): measured from their allocation table while
// the scan streams past them or by a walk on the device, typed by the names of
// their first directory entries and named from their summary properties.
class FileOLEAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kOle = 48;
    static constexpr RAW_FILE_TYPE kMof = 41;

    class OleRawFileInfo : public CRawFileInfo {
    public:
        // Past this many bytes the stream stops following the file.
        static constexpr uint64_t kGiveUpSize = 524288000;

        OleRawFileInfo() { fileType = kMof; }
        bool WhetherImplementGuess() override { return true; }
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        FileProperty properties;

    private:
        void ReadHeader(const uint8_t* header);
        // One compound-file sector whose first byte is in memory.
        void TakeSector(uint32_t number, const uint8_t* bytes, uint64_t available);
        void TakeDifat(const uint8_t* bytes);
        void AddFatSector(uint32_t number);
        bool TryFinish(int sectorSize);
        void SetFileName();
        void SetFileTag();

        CSummaryInFormation summary_;
        bool finished_ = false;
        bool summaryRead_ = false;
        bool headerRead_ = false;
        bool fatListComplete_ = false;
        bool directoryRead_ = false;
        uint32_t sectorBytes_ = 512;
        uint32_t nextDifat_ = 0xFFFFFFFF;
        uint32_t directorySector_ = 0xFFFFFFFF;
        // The FAT sectors in table order, and each one's used entries once
        // it has streamed past (-1 before).
        std::vector<uint32_t> fatSectors_;
        std::vector<int64_t> usedEntries_;
        std::unordered_map<uint32_t, size_t> fatIndex_;
    };

    FileOLEAnalyser() { analyserType = kOle; }

    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;

    // Types the file from its first directory entries (eight when `length`
    // holds them) and writes the type into `info`.
    static void CheckSectDirData(const uint8_t* directory, uint64_t length, CRawFileInfo& info);
};
