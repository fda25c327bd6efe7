#include "FileZIPAnalyser.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "ByteOrder.h"
#include "KvUtf8.h"
#include "OfficeTagFromXML.h"
#include "RawFileBuffer.h"
#include "ZipMemberTypes.h"
#include "ZipRecords.h"

namespace {

constexpr RAW_FILE_TYPE kCdr = 13;
constexpr RAW_FILE_TYPE kDocx = 73;
constexpr RAW_FILE_TYPE kPptx = 75;
constexpr RAW_FILE_TYPE kAppArchive = 118;
constexpr uint32_t kLongestStreamedName = 1024;
constexpr uint32_t kLongestName = 0xFFFF;
constexpr size_t kFirstMemberChars = 20;
constexpr size_t kTitleChars = 24;
// Bounds of the device walk: records, the search for the end record, and
// the search for a zero-filled sector after a damaged archive.
constexpr uint64_t kLongestRecordChain = 0x104000000;
constexpr uint64_t kLongestEndSearch = 0xD000000;
constexpr uint64_t kLongestTailSearch = 0xC800000;
// Bytes after a member's name that the typing looks at.
constexpr uint64_t kTypingBytes = 1024;

std::string FirstMemberName(const uint8_t* header, uint64_t available) {
    const uint64_t length = std::min<uint64_t>(ReadLE16(header + 26), available - 30);
    return std::string(reinterpret_cast<const char*>(header + 30), length);
}

std::string RangeName(long long first, long long last) {
    char name[64];
    std::snprintf(name, sizeof(name), "%lld-%lld_", first, last);
    return name;
}

// The record at `position` on the device with its header and the bytes the
// typing looks at; false when it is no measurable record.
bool ReadRecord(RawFileBuffer& reader, uint64_t position, std::vector<uint8_t>& bytes,
                ZipRecord& record) {
    if (!reader.CopyBytes(position, 46, bytes))
        return false;
    ZipMeasure measure = MeasureZipRecord(bytes.data(), bytes.size(), kLongestName, record);
    if (measure == ZipMeasure::kShort && bytes.size() >= 30) {
        // The header's variable part decides how much more to read.
        const bool local = ReadLE32(bytes.data()) == kZipLocalSignature;
        const uint64_t header =
            local ? 30 + uint64_t{ReadLE16(bytes.data() + 26)} + ReadLE16(bytes.data() + 28)
                  : 46 + uint64_t{ReadLE16(bytes.data() + 28)};
        if (!reader.CopyBytes(position, header + kTypingBytes, bytes))
            return false;
        measure = MeasureZipRecord(bytes.data(), bytes.size(), kLongestName, record);
    } else if (measure == ZipMeasure::kOk && record.kind == ZipRecord::kLocal) {
        reader.CopyBytes(position, record.dataOffset + kTypingBytes, bytes);
    }
    return measure == ZipMeasure::kOk;
}

// Whether an end record at `position` closes the archive.
bool IsEndOnDevice(RawFileBuffer& reader, uint64_t position) {
    const uint64_t before = std::min<uint64_t>(position, 20);
    std::vector<uint8_t> bytes;
    return reader.CopyBytes(position - before, before + kZipEndFixedBytes, bytes) &&
           bytes.size() == before + kZipEndFixedBytes &&
           IsZipEndOfFile(bytes.data() + before, position, before);
}

// Where the end record that closes the archive is, looked for from `from` on.
bool FindEndOnDevice(RawFileBuffer& reader, uint64_t from, uint64_t& endRecord) {
    const uint64_t sector = reader.GetSectorSize();
    std::vector<uint8_t> bytes;
    for (uint64_t at = from; at <= from + kLongestEndSearch; at += sector) {
        if (!reader.CopyBytes(at, sector + 3, bytes))
            return false;
        for (size_t i = 0; i + 4 <= bytes.size() && i < sector; ++i) {
            if (bytes[i] == 'P' && std::memcmp(bytes.data() + i, "PK\x05\x06", 4) == 0 &&
                IsEndOnDevice(reader, at + i)) {
                endRecord = at + i;
                return true;
            }
        }
    }
    return false;
}

// The archive's end and, for an Office package, the type its central
// directory's names give (members after a data descriptor are only seen there).
uint64_t EndAndDirectoryTypes(RawFileBuffer& reader, uint64_t endRecord, bool office,
                              uint32_t& type) {
    std::vector<uint8_t> bytes;
    if (!reader.CopyBytes(endRecord, kZipEndFixedBytes, bytes) || bytes.size() < kZipEndFixedBytes)
        return endRecord;
    const uint64_t end = endRecord + kZipEndFixedBytes + ReadLE16(bytes.data() + 20);
    uint64_t position = ReadLE32(bytes.data() + 16);
    const uint64_t directoryEnd =
        std::min<uint64_t>(position + ReadLE32(bytes.data() + 12), endRecord);
    ZipRecord record;
    while (office && position < directoryEnd && ReadRecord(reader, position, bytes, record) &&
           record.kind == ZipRecord::kCentral) {
        TypeFromCentralMember(record.name, office, type);
        position += record.length;
    }
    return end;
}

// Where a damaged archive probably ends: at `from` when the sector there ends
// in zeros, else 16 bytes before the end of the next sector that ends in 16
// zero bytes.
uint64_t ProbableEnd(RawFileBuffer& reader, uint64_t from) {
    const uint64_t sector = reader.GetSectorSize();
    uint64_t at = from / sector * sector;
    const uint8_t* bytes = reader.GetRawFileBuffer(at);
    if (bytes == nullptr)
        return at;
    if (ReadLE32(bytes + sector - 4) == 0)
        return from;
    while (at <= kLongestTailSearch) {
        bytes = reader.GetRawFileBuffer(at);
        if (bytes == nullptr)
            return at;
        static constexpr uint8_t kZeros[16] = {};
        if (std::memcmp(bytes + sector - 16, kZeros, 16) == 0)
            return at + sector - 16;
        at += sector;
    }
    return at;
}

}  // namespace

uint32_t FileZIPAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr)
        return 0;
    // The sector and at least a sector's zeros after it are in memory.
    info.fileType = IsAppArchiveMember(FirstMemberName(sector, 512)) ? kAppArchive : kZip;
    return 1;
}

CRawFileInfo* FileZIPAnalyser::CreateRawFileInfo() {
    auto* record = new (std::nothrow) ZIPRawFileInfo();
    if (record != nullptr)
        record->fileType = kZip;
    return record;
}

int FileZIPAnalyser::ZIPRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                                 long long sectorNumber, SearchContext& context) {
    if (finished_)
        return 1;
    if (sector == nullptr || sectorSize <= 0 || sectorNumber < startSector)
        return 2;
    const int64_t offset = (sectorNumber - startSector) * sectorSize;
    if (static_cast<uint64_t>(offset) > 20 * maxSize) {
        SetRawFileName(RangeName(startSector, sectorNumber));
        size = static_cast<int64_t>(maxSize);
        finished_ = true;
        return 1;
    }
    // The file's bytes in memory: back to the window's start, on to its end.
    const int64_t low =
        (std::max<int64_t>(context.windowStart, startSector) - startSector) * sectorSize;
    const int64_t high =
        offset + std::max<int64_t>(context.windowEnd - sectorNumber, 1) * sectorSize;
    auto at = [&](int64_t position) { return sector + (position - offset); };

    if (!started_) {
        started_ = true;
        if (!IsValidZipHeader(sector, static_cast<uint64_t>(high - offset))) {
            finished_ = true;
            return 1;
        }
        office = IsOfficeZipHeader(sector, static_cast<uint64_t>(high - offset));
        if (office)
            maxSize = kMaxOfficeSize;
        else if (FirstMemberName(sector, static_cast<uint64_t>(high - offset))
                     .rfind("content/riffData.cdr", 0) == 0)
            fileType = kCdr;
    }
    if (pendingCore_ >= 0) {
        if (pendingCore_ < low)
            pendingCore_ = -1;
        else
            ReadCoreProperties(at(pendingCore_), static_cast<uint64_t>(high - pendingCore_),
                               pendingCore_);
    }
    for (;;) {
        if (!following_) {
            // Look for the next record in this sector (and what the last
            // sector could not show whole).
            int64_t position = std::max(scanFrom_, low);
            const int64_t last = std::min(offset + sectorSize, high - 4);
            while (position < last &&
                   !(at(position)[0] == 'P' && IsZipRecordSignature(at(position))))
                ++position;
            scanFrom_ = position;
            if (position >= last)
                return 2;
            following_ = true;
            next_ = position;
        }
        if (next_ >= offset + sectorSize)
            return 2;
        if (next_ < low) {
            following_ = false;
            scanFrom_ = low;
            continue;
        }
        const uint64_t available = static_cast<uint64_t>(high - next_);
        ZipRecord record;
        const ZipMeasure measure =
            MeasureZipRecord(at(next_), available, kLongestStreamedName, record);
        if (measure == ZipMeasure::kShort)
            return 2;
        const bool end = measure == ZipMeasure::kOk && record.kind == ZipRecord::kEnd;
        if (measure == ZipMeasure::kBad ||
            (end && !IsZipEndOfFile(at(next_), static_cast<uint64_t>(next_),
                                    static_cast<uint64_t>(next_ - low)))) {
            following_ = false;
            scanFrom_ = next_ + 1;
            continue;
        }
        Take(record, at(next_), available, next_);
        if (end) {
            size = next_ + static_cast<int64_t>(record.length);
            Finish(sectorNumber);
            return 1;
        }
        if (record.sizesAfterData) {
            following_ = false;
            scanFrom_ = next_ + static_cast<int64_t>(record.dataOffset);
        } else {
            next_ += static_cast<int64_t>(record.length);
        }
    }
}

void FileZIPAnalyser::ZIPRawFileInfo::Take(const ZipRecord& record, const uint8_t* bytes,
                                           uint64_t available, int64_t position) {
    if (record.kind == ZipRecord::kLocal) {
        const uint64_t afterName = 30 + record.name.size();
        const bool core = TypeFromLocalMember(record.name, bytes + afterName, available - afterName,
                                              office, pendingType_);
        if (core && !propertiesRead && pendingCore_ < 0)
            ReadCoreProperties(bytes, available, position);
    } else if (record.kind == ZipRecord::kCentral) {
        TypeFromCentralMember(record.name, office, pendingType_);
    }
    if (pendingType_ != kZip)
        fileType = pendingType_;
}

void FileZIPAnalyser::ZIPRawFileInfo::ReadCoreProperties(const uint8_t* header, uint64_t available,
                                                         int64_t position) {
    switch (Zorado::OfficeTagFromXML::GetOfficeTagFromXML(header, available, false, properties)) {
        case Zorado::OfficeTagFromXML::kRead:
            propertiesRead = true;
            pendingCore_ = -1;
            break;
        case Zorado::OfficeTagFromXML::kNeedMore:
            pendingCore_ = position;
            break;
        case Zorado::OfficeTagFromXML::kFailed:
            pendingCore_ = -1;
            break;
    }
}

bool FileZIPAnalyser::ZIPRawFileInfo::NameFromProperties() {
    if (!propertiesRead || !office)
        return false;
    const FileProperty& p = properties;
    const std::string tagText = !p.author.empty()    ? p.author
                                : !p.creator.empty() ? p.creator
                                                     : "unKnown";
    if (!p.modified.empty())
        timeText = p.modified;
    auto withTime = [&](const std::string& text) {
        return p.modified.empty() ? text : text + "_" + p.modified;
    };
    std::string base;
    if (!p.title.empty())
        base = withTime(CutUtf8(p.title, kTitleChars));
    else if (!p.author.empty())
        base = withTime(p.author);
    else if (!p.creator.empty())
        base = withTime(p.creator);
    else if (!p.modified.empty())
        base = p.modified;
    else if (!p.created.empty())
        base = p.created;
    else
        return true;
    if (fileType >= kDocx && fileType <= kPptx) {
        SetRawFileTagAndValue(RAW_FILE_TAG_OFFICE, tagText);
        SetRawFileName(tagText + "_" + base);
    } else {
        SetRawFileName(base);
    }
    return true;
}

void FileZIPAnalyser::ZIPRawFileInfo::Finish(long long endSector) {
    finished_ = true;
    if (!NameFromProperties()) {
        SetRawFileTagAndValue(RAW_FILE_TAG_NONE, std::string());
        SetRawFileName(RangeName(startSector, endSector));
    }
}

void FileZIPAnalyser::ZIPRawFileInfo::WillBeRemove(unsigned char*, long long) {
    if (!finished_)
        NameFromProperties();
}

uint32_t FileZIPAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    std::vector<uint8_t> bytes;
    ZipRecord record;
    if (!ReadRecord(reader, 0, bytes, record) || record.kind != ZipRecord::kLocal ||
        !IsValidZipHeader(bytes.data(), bytes.size())) {
        info.size = 0;
        return 0;
    }
    const RAW_FILE_TYPE candidate = IsAppArchiveMember(record.name) ? kAppArchive : kZip;
    const bool office = IsOfficeZipHeader(bytes.data(), bytes.size());
    const bool cdr = !office && record.name == "content/riffData.cdr";
    const std::string firstName = record.name;

    uint32_t type = kZip;
    uint64_t position = 0;
    uint64_t endRecord = 0;
    bool ended = false;
    while (position <= kLongestRecordChain) {
        if (position > 0 && !ReadRecord(reader, position, bytes, record))
            break;
        if (record.kind == ZipRecord::kEnd) {
            ended = IsEndOnDevice(reader, position);
            endRecord = position;
            break;
        }
        if (record.kind == ZipRecord::kLocal) {
            const uint64_t afterName = 30 + record.name.size();
            TypeFromLocalMember(record.name, bytes.data() + afterName, bytes.size() - afterName,
                                office, type);
        } else if (record.kind == ZipRecord::kCentral) {
            TypeFromCentralMember(record.name, office, type);
        }
        if (record.sizesAfterData)
            break;
        position += record.length;
    }
    if (!ended)
        ended = FindEndOnDevice(reader, position, endRecord);
    const uint64_t end = ended ? EndAndDirectoryTypes(reader, endRecord, office, type)
                               : ProbableEnd(reader, position);

    info.fileType = type != kZip ? type : cdr ? kCdr : candidate;
    info.size = static_cast<int64_t>(std::min(end, reader.GetBytesToDeviceEnd()));
    if (info.GetRawFileName().empty())
        info.SetRawFileName(firstName);
    return 1;
}
