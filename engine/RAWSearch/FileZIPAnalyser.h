#pragma once

#include <cstdint>
#include <string>

#include "FileProperty.h"
#include "RawFileAnalyser.h"

struct ZipRecord;

// ZIP archives and the formats built on them (Office Open XML, OpenDocument,
// EPUB, iWork and others), measured record by record while the scan streams
// past them, typed by their member names and named from an Office document's
// core properties. Archives the stream did not finish are measured on the
// device.
class FileZIPAnalyser : public IRawFileAnalyser {
public:
    static constexpr RAW_FILE_TYPE kZip = 72;

    class ZIPRawFileInfo : public CRawFileInfo {
    public:
        static constexpr uint64_t kMaxSize = 200000000;
        static constexpr uint64_t kMaxOfficeSize = 20000000;

        bool WhetherImplementGuess() override { return true; }
        // Names the record from what it read; the device walk measures it.
        void WillBeRemove(unsigned char* sector, long long sectorNumber) override;
        int CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                        SearchContext& context) override;

        bool office = false;
        uint64_t maxSize = kMaxSize;
        FileProperty properties;
        bool propertiesRead = false;

    private:
        // Takes in one measured record found `position` bytes into the file.
        void Take(const ZipRecord& record, const uint8_t* bytes, uint64_t available,
                  int64_t position);
        void ReadCoreProperties(const uint8_t* header, uint64_t available, int64_t position);
        void Finish(long long endSector);
        bool NameFromProperties();

        uint32_t pendingType_ = kZip;
        bool started_ = false;
        bool finished_ = false;
        // While following, the records are stepped over one after the other;
        // otherwise the next record's signature is looked for from scanFrom_.
        bool following_ = true;
        int64_t next_ = 0;
        int64_t scanFrom_ = 0;
        // Where the core-properties member's header is, while its data is
        // still to come (-1: none).
        int64_t pendingCore_ = -1;
    };

    FileZIPAnalyser() { analyserType = kZip; }

    uint32_t AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) override;
    CRawFileInfo* CreateRawFileInfo() override;
    uint32_t GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) override;
};
