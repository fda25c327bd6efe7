#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "NTFSGeometry.h"
#include "NTFSMultiFileRecord.h"

class CNTFSDataRunList;
class CNTFSFileProperties;
class IStorageDevice;

// Gives deleted files whose data attribute was cut to nothing their extents
// and size back from what the volume's $LogFile still holds: whole FILE-record
// images, and the undo data of the operations that emptied the attribute.
class CFindFileFromLogFile {
public:
    static constexpr uint32_t kPageSize = 4096;
    static constexpr uint32_t kPageHeader = 64;
    static constexpr uint32_t kRecordHeader = 48;
    // Logs larger than this are not read (NTFS makes them a few MiB).
    static constexpr uint64_t kMaxLogBytes = 256ull << 20;
    // A log record longer than this is dropped.
    static constexpr uint32_t kMaxRecordBytes = 64 * 1024;

    CFindFileFromLogFile();
    ~CFindFileFromLogFile();
    CFindFileFromLogFile(const CFindFileFromLogFile&) = delete;
    CFindFileFromLogFile& operator=(const CFindFileFromLogFile&) = delete;

    // Finds $LogFile (record 2 of the table); false when the table's first
    // records cannot be read.
    bool Init(IStorageDevice* device, const CNTFSDataRunList* mftRuns,
              const NTFSGeometry& geometry);
    // Reads the whole log once and keeps the evidence.
    bool Analyzer();
    // The same over log bytes already in memory (whole 4096-byte pages) of a
    // volume of the given geometry.
    void AnalyzeLog(std::vector<uint8_t> log, const NTFSGeometry& geometry);

    // Repairs the properties of a deleted FILE record (`record`, the record
    // size the geometry gives, as read from the disk); false when nothing applies.
    bool ReplaceFileRecordInfo(const uint8_t* record, CNTFSFileProperties& properties,
                               int64_t parent, const ExtendFileRecordInfoList& extensions);

    // The record of the table a log record concerns.
    int64_t GetFileRecordIndex(int64_t targetVcn, uint16_t clusterBlockOffset) const;

    size_t ImageCount() const { return images_.size(); }
    size_t UndoCount() const { return undo_.size(); }

private:
    struct Image {
        std::unique_ptr<CNTFSFileProperties> properties;
        int64_t parent = -1;
    };
    struct Undo {
        int64_t recordNumber = 0;
        uint16_t recordOffset = 0;
        uint16_t attributeOffset = 0;
        std::vector<uint8_t> data;
    };

    void WalkPages(const std::vector<uint8_t>& log);
    void TakeRecord(const uint8_t* record, size_t length);
    void TakeImage(const uint8_t* record, size_t length);
    // Puts logged undo data back into the data attributes of an undone record
    // held in `buffer` (`size` bytes, the record size).
    void RebuildFileRecord(uint8_t* buffer, int size, bool compressed) const;
    bool RebuildDataAttribute(uint8_t* buffer, int size, int64_t number, uint32_t offset,
                              bool compressed) const;
    const Image* FindImage(const uint8_t* record, CNTFSFileProperties& properties,
                           int64_t parent) const;

    IStorageDevice* device_ = nullptr;
    NTFSGeometry geometry_;
    std::unique_ptr<CNTFSFileProperties> logFile_;
    std::vector<Image> images_;
    std::vector<Undo> undo_;
    bool analysed_ = false;
};
