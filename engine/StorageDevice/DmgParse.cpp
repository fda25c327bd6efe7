#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tinyxml.h>
#include <algorithm>
#include <cstring>
#include <string>

#include "Base64.h"
#include "BlockDevice.h"
#include "ByteOrder.h"
#include "DeviceRead.h"
#include "DmgLayout.h"
#include "EngineLog.h"

namespace {

constexpr int64_t kTrailerBytes = 512;
constexpr int64_t kSectorBytes = 512;
// A block table list beyond this is not one an image maker writes.
constexpr int64_t kMaxPlistBytes = 64 << 20;
constexpr size_t kBlockTableHeaderBytes = 204;
constexpr size_t kBlockEntryBytes = 40;

constexpr uint32_t kBlockZeroFill = 0x00000000;
constexpr uint32_t kBlockRaw = 0x00000001;
constexpr uint32_t kBlockFree = 0x00000002;  // unused space, reads as zeros
constexpr uint32_t kBlockComment = 0x7FFFFFFE;
constexpr uint32_t kBlockEnd = 0xFFFFFFFF;

bool ReadAt(int fd, void* buffer, int64_t length, int64_t offset) {
    return pread(fd, buffer, static_cast<size_t>(length), offset) == length;
}

// The value element that follows <key>name</key> in a property-list dict.
const TiXmlElement* DictValue(const TiXmlElement* dict, const char* name) {
    if (dict == nullptr) {
        return nullptr;
    }
    for (const TiXmlElement* key = dict->FirstChildElement("key"); key != nullptr;
         key = key->NextSiblingElement("key")) {
        if (key->GetText() != nullptr && std::strcmp(key->GetText(), name) == 0) {
            return key->NextSiblingElement();
        }
    }
    return nullptr;
}

struct Trailer {
    uint64_t dataForkOffset;
    uint64_t plistOffset;
    uint64_t plistLength;
    uint64_t sectorCount;
};

DmgRefusal CompressedKind(uint32_t type) {
    switch (type) {
        case 0x80000004:
            return kDmgCompressedADC;
        case 0x80000005:
            return kDmgCompressedZlib;
        case 0x80000006:
            return kDmgCompressedBzip2;
        case 0x80000007:
            return kDmgCompressedLZFSE;
        case 0x80000008:
            return kDmgCompressedLZMA;
        default:
            return (type & 0xFFFFFFF0u) == 0x80000000u ? kDmgCompressedOther : kDmgAccepted;
    }
}

// Adds the runs of one block table. Sectors are counted from the table's
// first sector; raw data lies at the data fork offset plus the table's and
// the entry's offsets, and must lie in the file before the trailer.
DmgRefusal AddBlockTable(const std::vector<uint8_t>& table, const Trailer& trailer, int64_t dataEnd,
                         DmgLayout& layout) {
    if (table.size() < kBlockTableHeaderBytes) {
        return kDmgDamaged;
    }
    const uint64_t tableFirst = ReadBE64(&table[8]);
    const uint64_t tableDataOffset = ReadBE64(&table[24]);
    const uint32_t entries = ReadBE32(&table[200]);
    CatchExeception::WriteLog("sectorcount: %llu, start sectorNum: %llu\n",
                              static_cast<unsigned long long>(ReadBE64(&table[16])),
                              static_cast<unsigned long long>(tableFirst));
    CatchExeception::WriteLog("mish dataoffset: %llu, bufferneed: %u\n",
                              static_cast<unsigned long long>(tableDataOffset),
                              ReadBE32(&table[32]));
    if (entries > (table.size() - kBlockTableHeaderBytes) / kBlockEntryBytes) {
        return kDmgDamaged;
    }
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* entry = &table[kBlockTableHeaderBytes + kBlockEntryBytes * i];
        const uint32_t type = ReadBE32(entry);
        const uint64_t first = ReadBE64(entry + 8);
        const uint64_t count = ReadBE64(entry + 16);
        const uint64_t offset = ReadBE64(entry + 24);
        const uint64_t length = ReadBE64(entry + 32);
        if (const DmgRefusal compressed = CompressedKind(type); compressed != kDmgAccepted) {
            return compressed;
        }
        CatchExeception::WriteLog(
            "Bkl %d,start sector:%llu (have %llu sectors) - Compressed to %llu, %llu bytes, "
            "type = %u\n",
            static_cast<int>(i), static_cast<unsigned long long>(first),
            static_cast<unsigned long long>(count), static_cast<unsigned long long>(offset),
            static_cast<unsigned long long>(length), type);
        if (type == kBlockComment || type == kBlockEnd || count == 0) {
            continue;
        }
        if (type != kBlockRaw && type != kBlockZeroFill && type != kBlockFree) {
            return kDmgUnknownBlock;
        }
        const unsigned __int128 start = static_cast<unsigned __int128>(tableFirst) + first;
        if (start + count > trailer.sectorCount) {
            return kDmgDamaged;
        }
        DmgRun run{static_cast<int64_t>(start), static_cast<int64_t>(count), -1};
        if (type == kBlockRaw) {
            const unsigned __int128 stored =
                static_cast<unsigned __int128>(trailer.dataForkOffset) + tableDataOffset + offset;
            if (static_cast<unsigned __int128>(count) * kSectorBytes != length ||
                stored + length > static_cast<uint64_t>(dataEnd)) {
                return kDmgDamaged;
            }
            run.fileOffset = static_cast<int64_t>(stored);
        }
        layout.runs.push_back(run);
    }
    return kDmgAccepted;
}

// Answers why a block table of the "blkx" array refuses the image, if one does.
DmgRefusal ParseChunkEntry(const TiXmlElement* blkx, const Trailer& trailer, int64_t dataEnd,
                           DmgLayout& layout) {
    CatchExeception::WriteLog("========= mish info begin =============\n");
    for (const TiXmlElement* item = blkx->FirstChildElement("dict"); item != nullptr;
         item = item->NextSiblingElement("dict")) {
        const TiXmlElement* data = DictValue(item, "Data");
        if (data == nullptr) {
            return kDmgDamaged;
        }
        const auto table = DecodeBase64(data->GetText() != nullptr ? data->GetText() : "");
        if (!table) {
            return kDmgDamaged;
        }
        if (const DmgRefusal refusal = AddBlockTable(*table, trailer, dataEnd, layout);
            refusal != kDmgAccepted) {
            return refusal;
        }
    }
    std::sort(layout.runs.begin(), layout.runs.end(),
              [](const DmgRun& a, const DmgRun& b) { return a.firstSector < b.firstSector; });
    for (size_t i = 1; i < layout.runs.size(); ++i) {
        const DmgRun& before = layout.runs[i - 1];
        if (before.firstSector + before.sectorCount > layout.runs[i].firstSector) {
            return kDmgDamaged;
        }
    }
    return kDmgAccepted;
}

DmgRefusal ReadUdifLayout(int fd, const uint8_t* last, int64_t fileSize, DmgLayout& layout) {
    const Trailer trailer{ReadBE64(last + 24), ReadBE64(last + 216), ReadBE64(last + 224),
                          ReadBE64(last + 492)};
    CatchExeception::WriteLog("========= koly info begin =============\n");
    CatchExeception::WriteLog("XML plist from: %llu, spanning %llu types\n",
                              static_cast<unsigned long long>(trailer.plistOffset),
                              static_cast<unsigned long long>(trailer.plistLength));
    CatchExeception::WriteLog("Original total sectors: %llu\n",
                              static_cast<unsigned long long>(trailer.sectorCount));
    CatchExeception::WriteLog("========= koly info end ===============\n");
    const int64_t dataEnd = fileSize - kTrailerBytes;
    const auto limit = static_cast<uint64_t>(dataEnd);
    if (trailer.sectorCount > static_cast<uint64_t>(INT64_MAX) / kSectorBytes ||
        trailer.plistLength == 0 || trailer.plistLength > static_cast<uint64_t>(kMaxPlistBytes) ||
        trailer.plistOffset > limit || trailer.plistLength > limit - trailer.plistOffset) {
        return kDmgDamaged;
    }
    layout.udif = true;
    layout.sectorCount = static_cast<int64_t>(trailer.sectorCount);
    std::string text(trailer.plistLength, '\0');
    if (!ReadAt(fd, text.data(), static_cast<int64_t>(text.size()),
                static_cast<int64_t>(trailer.plistOffset))) {
        return kDmgUnreadable;
    }
    TiXmlDocument plist;
    plist.Parse(text.c_str());
    const TiXmlElement* root = plist.RootElement();
    const TiXmlElement* blkx = DictValue(
        DictValue(root != nullptr ? root->FirstChildElement("dict") : nullptr, "resource-fork"),
        "blkx");
    // Without a readable block table nothing says where the sectors are.
    if (plist.Error() || blkx == nullptr) {
        return kDmgDamaged;
    }
    return ParseChunkEntry(blkx, trailer, dataEnd, layout);
}

}  // namespace

DmgRefusal ReadDmgLayout(int fd, int64_t fileSize, DmgLayout& layout) {
    layout = DmgLayout{};
    char header[8] = {};
    uint8_t last[kTrailerBytes];
    if (fileSize <= kTrailerBytes) {
        return kDmgTooSmall;
    }
    if (!ReadAt(fd, header, sizeof(header), 0) ||
        !ReadAt(fd, last, kTrailerBytes, fileSize - kTrailerBytes)) {
        return kDmgUnreadable;
    }
    if (std::memcmp(header, "encrcdsa", 8) == 0) {
        return kDmgEncrypted;
    }
    if (std::memcmp(last, "koly", 4) != 0) {
        // A plain sector copy; a partial last sector cannot be read whole.
        layout.sectorCount = fileSize / kSectorBytes;
        return kDmgAccepted;
    }
    return ReadUdifLayout(fd, last, fileSize, layout);
}

const char* DescribeDmgRefusal(DmgRefusal refusal) {
    switch (refusal) {
        case kDmgAccepted:
            return "";
        case kDmgUnreadable:
            return "The disk image cannot be read.";
        case kDmgTooSmall:
            return "The file is too small to be a disk image.";
        case kDmgEncrypted:
            return "The disk image is encrypted and cannot be scanned.";
        case kDmgDamaged:
            return "The disk image is damaged: its block table does not fit the file.";
        case kDmgUnknownBlock:
            return "The disk image holds blocks of an unknown kind and cannot be scanned.";
        case kDmgCompressedADC:
            return "The disk image is compressed (ADC). Only uncompressed disk images can be "
                   "scanned.";
        case kDmgCompressedZlib:
            return "The disk image is compressed (zlib). Only uncompressed disk images can be "
                   "scanned.";
        case kDmgCompressedBzip2:
            return "The disk image is compressed (bzip2). Only uncompressed disk images can be "
                   "scanned.";
        case kDmgCompressedLZFSE:
            return "The disk image is compressed (LZFSE). Only uncompressed disk images can be "
                   "scanned.";
        case kDmgCompressedLZMA:
            return "The disk image is compressed (LZMA). Only uncompressed disk images can be "
                   "scanned.";
        case kDmgCompressedOther:
            return "The disk image is compressed. Only uncompressed disk images can be scanned.";
    }
    return "The disk image cannot be scanned.";
}

DmgRefusal CheckDmgFile(const std::string& path, CDMGDeviceInfoStruct& record) {
    std::memset(&record, 0, sizeof(record));
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!CopyPathField(record.imagePath, sizeof(record.imagePath), path.c_str()) ||
        !CopyPathField(record.fileName, sizeof(record.fileName), name.c_str())) {
        return kDmgUnreadable;
    }
    record.sectorSize = kSectorBytes;
    const int fd = OpenBlockDeviceReadOnly(path.c_str());
    if (fd < 0) {
        return kDmgUnreadable;
    }
    struct stat info {};
    DmgLayout layout;
    DmgRefusal refusal = kDmgUnreadable;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        refusal = ReadDmgLayout(fd, info.st_size, layout);
    }
    close(fd);
    if (refusal != kDmgAccepted) {
        CatchExeception::WriteLog("disk image refused: %s\n", DescribeDmgRefusal(refusal));
        return refusal;
    }
    record.imageFileLength = info.st_size;
    record.sectorCount = layout.sectorCount;
    return kDmgAccepted;
}

int ParseDmgFile(const std::string& path, CDMGDeviceInfoStruct& record) {
    return CheckDmgFile(path, record) == kDmgAccepted ? 1 : 0;
}
