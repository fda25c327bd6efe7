#include "FileOLEAnalyser.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <new>
#include <vector>

#include "ByteOrder.h"
#include "OleLayout.h"
#include "RawFileBuffer.h"

namespace {

constexpr RAW_FILE_TYPE kDoc = 23;
constexpr RAW_FILE_TYPE kPpt = 52;
constexpr RAW_FILE_TYPE kXls = 71;
constexpr uint64_t kDirectoryBytes = 1024;
// A file whose directory cannot be read is only kept up to this size.
constexpr uint64_t kLargestWithoutDirectory = 0xA00000;
// The property set bytes handed to the summary reader.
constexpr uint64_t kLongestSummary = 0x10000;
constexpr uint64_t kMiniSectorBytes = 64;
// A sane bound on the table: more FAT sectors than this describe no file
// the stream follows.
constexpr size_t kMostFatSectors = 0x100000;

}  // namespace

uint32_t FileOLEAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr || ReadLE32(sector + 4) != 0xE11AB1A1)
        return 0;
    info.fileType = kOle;
    return 1;
}

CRawFileInfo* FileOLEAnalyser::CreateRawFileInfo() {
    return new (std::nothrow) OleRawFileInfo();
}

uint32_t FileOLEAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    std::vector<uint8_t> bytes;
    if (!reader.CopyBytes(0, 512, bytes) || bytes.size() < 512)
        return 0;
    const OleLayout layout = OleLayout::Read(bytes.data());
    const uint32_t entries = layout.EntriesPerSector();

    uint64_t fatSectors = 0;
    uint32_t lastFat = 0;
    auto count = [&](uint32_t number) {
        if (OleLayout::IsSector(number)) {
            ++fatSectors;
            lastFat = number;
        }
    };
    for (uint32_t i = 0; i < OleLayout::kHeaderFatEntries; ++i)
        count(ReadLE32(bytes.data() + 76 + 4 * i));
    // The DIFAT chain; each sector names the next, and only a later one is
    // followed so a damaged chain cannot loop.
    for (uint32_t difat = layout.firstDifat; OleLayout::IsSector(difat);) {
        if (!reader.CopyBytes(layout.OffsetOf(difat), layout.sectorBytes, bytes) ||
            bytes.size() < layout.sectorBytes)
            return 0;
        for (uint32_t i = 0; i + 1 < entries; ++i)
            count(ReadLE32(bytes.data() + 4 * i));
        const uint32_t next = ReadLE32(bytes.data() + 4 * (entries - 1));
        if (next <= difat)
            break;
        difat = next;
    }
    if (fatSectors == 0)
        return 0;
    if (!reader.CopyBytes(layout.OffsetOf(lastFat), layout.sectorBytes, bytes) ||
        bytes.size() < layout.sectorBytes)
        return 0;
    const uint64_t size = layout.SizeFor(fatSectors, layout.UsedEntries(bytes.data()));

    if (reader.CopyBytes(layout.OffsetOf(layout.firstDirectory), kDirectoryBytes, bytes)) {
        CheckSectDirData(bytes.data(), bytes.size(), info);
    } else if (size > kLargestWithoutDirectory) {
        return 0;
    } else {
        info.fileType = kMof;
    }
    info.size = static_cast<int64_t>(size);
    return 1;
}

void FileOLEAnalyser::OleRawFileInfo::ReadHeader(const uint8_t* header) {
    const OleLayout layout = OleLayout::Read(header);
    sectorBytes_ = layout.sectorBytes;
    for (uint32_t i = 0; i < OleLayout::kHeaderFatEntries; ++i)
        AddFatSector(ReadLE32(header + 76 + 4 * i));
    nextDifat_ = layout.firstDifat;
    fatListComplete_ = !OleLayout::IsSector(nextDifat_);
    directorySector_ = layout.firstDirectory;
    headerRead_ = true;
}

void FileOLEAnalyser::OleRawFileInfo::AddFatSector(uint32_t number) {
    if (!OleLayout::IsSector(number) || fatSectors_.size() >= kMostFatSectors)
        return;
    fatIndex_.emplace(number, fatSectors_.size());
    fatSectors_.push_back(number);
    usedEntries_.push_back(-1);
}

void FileOLEAnalyser::OleRawFileInfo::TakeDifat(const uint8_t* bytes) {
    const uint32_t entries = sectorBytes_ / 4;
    for (uint32_t i = 0; i + 1 < entries; ++i)
        AddFatSector(ReadLE32(bytes + 4 * i));
    const uint32_t next = ReadLE32(bytes + 4 * (entries - 1));
    if (OleLayout::IsSector(next) && next > nextDifat_) {
        nextDifat_ = next;
    } else {
        nextDifat_ = 0xFFFFFFFF;
        fatListComplete_ = true;
    }
}

void FileOLEAnalyser::OleRawFileInfo::TakeSector(uint32_t number, const uint8_t* bytes,
                                                 uint64_t available) {
    const bool whole = available >= sectorBytes_;
    if (number == nextDifat_ && whole)
        TakeDifat(bytes);
    if (const auto found = fatIndex_.find(number); found != fatIndex_.end() && whole) {
        OleLayout layout;
        layout.sectorBytes = sectorBytes_;
        usedEntries_[found->second] = layout.UsedEntries(bytes);
    }
    if (number == directorySector_ && !directoryRead_) {
        CheckSectDirData(bytes, std::min(available, kDirectoryBytes), *this);
        directoryRead_ = true;
    }
}

bool FileOLEAnalyser::OleRawFileInfo::TryFinish(int sectorSize) {
    if (!fatListComplete_ || !directoryRead_ || fatSectors_.empty() || usedEntries_.back() < 0)
        return false;
    OleLayout layout;
    layout.sectorBytes = sectorBytes_;
    size = static_cast<int64_t>(
        layout.SizeFor(fatSectors_.size(), static_cast<uint64_t>(usedEntries_.back())));
    char name[64];
    std::snprintf(name, sizeof(name), "%lld-%lld ", static_cast<long long>(startSector),
                  static_cast<long long>(startSector + size / sectorSize));
    SetRawFileName(name);
    finished_ = true;
    if (summaryRead_) {
        SetFileName();
        SetFileTag();
    }
    return true;
}

int FileOLEAnalyser::OleRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                                 long long sectorNumber, SearchContext& context) {
    if (finished_)
        return 1;
    if (sector == nullptr || sectorSize < 512 || sectorNumber < startSector)
        return 2;
    const uint64_t s = static_cast<uint64_t>(sectorSize);
    const uint64_t offset = static_cast<uint64_t>(sectorNumber - startSector) * s;
    if (offset > kGiveUpSize) {
        // Left to the walk on the device.
        finished_ = true;
        size = 0;
        return 1;
    }
    const uint64_t inMemory =
        static_cast<uint64_t>(std::max<long long>(context.windowEnd - sectorNumber, 1)) * s;
    if (!headerRead_) {
        if (offset != 0)
            return 2;
        ReadHeader(sector);
    }
    // The summary is a small stream, so it mostly lies in the mini stream,
    // whose sectors are 64 bytes; a property set starts with the byte order
    // mark FE FF and version 0.
    for (uint64_t at = 0; !summaryRead_ && at + 4 <= s; at += kMiniSectorBytes) {
        if (ReadLE32(sector + at) == 0x0000FFFE) {
            summaryRead_ = summary_.GetFileInformation(
                sector + at, properties,
                static_cast<uint32_t>(std::min(inMemory - at, kLongestSummary)));
        }
    }
    // Every compound-file sector that starts in this device sector.
    const uint64_t cf = sectorBytes_;
    for (uint64_t at = std::max<uint64_t>((offset + cf - 1) / cf, 1) * cf; at < offset + s;
         at += cf) {
        const uint64_t number = at / cf - 1;
        if (number > OleLayout::kLastRegularSector)
            break;
        TakeSector(static_cast<uint32_t>(number), sector + (at - offset), inMemory - (at - offset));
    }
    return TryFinish(sectorSize) ? 1 : 2;
}

void FileOLEAnalyser::OleRawFileInfo::SetFileName() {
    const FileProperty& p = properties;
    const std::string& lastAuthor = p.author;
    const std::string& author = p.creator;
    const std::string time = !p.modified.empty() ? p.modified : p.created;
    std::string name;
    if (!time.empty()) {
        const std::string lead = !p.title.empty()      ? p.title
                                 : !lastAuthor.empty() ? lastAuthor
                                                       : author;
        name = lead.empty() ? time + " " : lead + "_" + time + " ";
    } else {
        if (!p.title.empty())
            name = p.title + " ";
        if (!lastAuthor.empty())
            name = lastAuthor + " ";
        if (!author.empty())
            name = author + " ";
    }
    if (!name.empty())
        SetRawFileName(name);
    timeText = p.created;
}

void FileOLEAnalyser::OleRawFileInfo::SetFileTag() {
    const FileProperty& p = properties;
    std::string tag = !p.author.empty() ? p.author : p.creator;
    if (tag.empty() && (!p.created.empty() || !p.title.empty() || !p.modified.empty()))
        tag = "unKnown";
    if (tag.empty() || (fileType != kDoc && fileType != kPpt && fileType != kXls))
        return;
    SetRawFileTagAndValue(RAW_FILE_TAG_OFFICE, tag);
    const std::string name = GetRawFileName();
    if (!name.empty())
        SetRawFileName(tag + "_" + name);
}
