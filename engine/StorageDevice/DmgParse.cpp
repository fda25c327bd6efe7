#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tinyxml.h>
#include <cstring>
#include <string>

#include "Base64.h"
#include "BlockDevice.h"
#include "ByteOrder.h"
#include "DeviceRead.h"
#include "EngineLog.h"
#include "ImageDevice.h"

namespace {

constexpr int64_t kTrailerBytes = 512;
constexpr int64_t kSectorBytes = 512;
// A block table list beyond this is not one an image maker writes.
constexpr int64_t kMaxPlistBytes = 64 << 20;
constexpr size_t kBlockTableHeaderBytes = 204;
constexpr size_t kBlockEntryBytes = 40;

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

bool IsCompressedEntry(uint32_t type) {
    return (type & 0xFFFFFFF0u) == 0x80000000u;
}

// Checks one block table: compressed blocks make the image unreadable as
// sectors, and raw blocks must lie in the file where a straight read of their
// sectors finds them.
bool CheckBlockTable(const std::vector<uint8_t>& table, const Trailer& trailer) {
    if (table.size() < kBlockTableHeaderBytes) {
        return false;
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
        return false;
    }
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t* entry = &table[kBlockTableHeaderBytes + kBlockEntryBytes * i];
        const uint32_t type = ReadBE32(entry);
        const uint64_t first = ReadBE64(entry + 8);
        const uint64_t count = ReadBE64(entry + 16);
        const uint64_t offset = ReadBE64(entry + 24);
        const uint64_t length = ReadBE64(entry + 32);
        if (IsCompressedEntry(type)) {
            return false;
        }
        CatchExeception::WriteLog(
            "Bkl %d,start sector:%llu (have %llu sectors) - Compressed to %llu, %llu bytes, "
            "type = %u\n",
            static_cast<int>(i), static_cast<unsigned long long>(first),
            static_cast<unsigned long long>(count), static_cast<unsigned long long>(offset),
            static_cast<unsigned long long>(length), type);
        if (type == 1) {
            const unsigned __int128 expected =
                (static_cast<unsigned __int128>(tableFirst) + first) * kSectorBytes;
            const unsigned __int128 stored =
                static_cast<unsigned __int128>(trailer.dataForkOffset) + tableDataOffset + offset;
            if (stored != expected ||
                static_cast<unsigned __int128>(count) * kSectorBytes != length) {
                return false;
            }
        }
    }
    return true;
}

// Answers 0 when a block table of the "blkx" array refuses the image, else 1.
int ParseChunkEntry(const TiXmlElement* blkx, const Trailer& trailer) {
    CatchExeception::WriteLog("========= mish info begin =============\n");
    for (const TiXmlElement* item = blkx->FirstChildElement("dict"); item != nullptr;
         item = item->NextSiblingElement("dict")) {
        const TiXmlElement* data = DictValue(item, "Data");
        if (data == nullptr) {
            return 0;
        }
        const auto table = DecodeBase64(data->GetText() != nullptr ? data->GetText() : "");
        if (!table || !CheckBlockTable(*table, trailer)) {
            return 0;
        }
    }
    return 1;
}

int ParseTrailer(int fd, const uint8_t* last, int64_t fileSize, CDMGDeviceInfoStruct& record) {
    const Trailer trailer{ReadBE64(last + 24), ReadBE64(last + 216), ReadBE64(last + 224),
                          ReadBE64(last + 492)};
    CatchExeception::WriteLog("========= koly info begin =============\n");
    CatchExeception::WriteLog("XML plist from: %llu, spanning %llu types\n",
                              static_cast<unsigned long long>(trailer.plistOffset),
                              static_cast<unsigned long long>(trailer.plistLength));
    CatchExeception::WriteLog("Original total sectors: %llu\n",
                              static_cast<unsigned long long>(trailer.sectorCount));
    CatchExeception::WriteLog("========= koly info end ===============\n");
    const auto limit = static_cast<uint64_t>(fileSize - kTrailerBytes);
    if (trailer.sectorCount > static_cast<uint64_t>(INT64_MAX) / kSectorBytes ||
        trailer.plistLength == 0 || trailer.plistLength > static_cast<uint64_t>(kMaxPlistBytes) ||
        trailer.plistOffset > limit || trailer.plistLength > limit - trailer.plistOffset) {
        return 0;
    }
    record.sectorCount = static_cast<int64_t>(trailer.sectorCount);
    std::string text(trailer.plistLength, '\0');
    if (!ReadAt(fd, text.data(), static_cast<int64_t>(text.size()),
                static_cast<int64_t>(trailer.plistOffset))) {
        return 0;
    }
    TiXmlDocument plist;
    plist.Parse(text.c_str());
    const TiXmlElement* root = plist.RootElement();
    const TiXmlElement* blkx = DictValue(
        DictValue(root != nullptr ? root->FirstChildElement("dict") : nullptr, "resource-fork"),
        "blkx");
    // Without a readable block table nothing says the sectors are stored raw.
    if (plist.Error() || blkx == nullptr) {
        return 0;
    }
    return ParseChunkEntry(blkx, trailer);
}

}  // namespace

int ParseDmgFile(const std::string& path, CDMGDeviceInfoStruct& record) {
    std::memset(&record, 0, sizeof(record));
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!CopyPathField(record.imagePath, sizeof(record.imagePath), path.c_str()) ||
        !CopyPathField(record.fileName, sizeof(record.fileName), name.c_str())) {
        return 0;
    }
    record.sectorSize = kSectorBytes;
    const int fd = OpenBlockDeviceReadOnly(path.c_str());
    if (fd < 0) {
        return 0;
    }
    int result = 0;
    char header[8] = {};
    struct stat info {};
    uint8_t last[kTrailerBytes];
    if (ReadAt(fd, header, sizeof(header), 0) && std::memcmp(header, "encrcdsa", 8) == 0) {
        result = 0;
    } else if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= kTrailerBytes) {
        result = 0;
    } else if (!ReadAt(fd, last, kTrailerBytes, info.st_size - kTrailerBytes)) {
        result = 0;
    } else {
        record.imageFileLength = info.st_size;
        if (std::memcmp(last, "koly", 4) != 0) {
            // A plain sector copy; a partial last sector cannot be read whole.
            record.sectorCount = info.st_size / kSectorBytes;
            result = 1;
        } else {
            result = ParseTrailer(fd, last, info.st_size, record);
        }
    }
    close(fd);
    return result;
}
