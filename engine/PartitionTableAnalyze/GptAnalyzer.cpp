#include <zlib.h>

#include <algorithm>
#include <optional>

#include "PartitionTableLayout.h"
#include "StorageDevice.h"

#define PT_FAILURE(kind) ENGINE_FAILURE(kModulePartitionTable, kind)

namespace {

constexpr size_t kMinHeaderSize = 92;
constexpr uint32_t kMinEntrySize = 128;
// Far beyond the 128 entries of every partitioning tool; bounds the read.
constexpr uint64_t kMaxEntryArrayBytes = 1024 * 1024;
// Partitions of 8 MiB or less are not listed.
constexpr int64_t kSmallestListedBytes = 0x800000;

struct GptHeader {
    int64_t entriesLba;
    uint32_t entryCount;
    uint32_t entrySize;
    uint32_t entriesCrc;
};

uint32_t Crc32(const uint8_t* data, size_t length) {
    return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), data, static_cast<uInt>(length)));
}

// The header at `lba` when its signature, size, checksum, own position and
// entry-array geometry all hold.
std::optional<GptHeader> ParseHeader(const std::vector<uint8_t>& sector, int64_t lba,
                                     int64_t diskSectors, uint32_t sectorSize) {
    const uint8_t* bytes = sector.data();
    if (std::memcmp(bytes, "EFI PART", 8) != 0) {
        return std::nullopt;
    }
    uint32_t headerSize = ReadLE32(bytes + 12);
    if (headerSize < kMinHeaderSize || headerSize > sector.size()) {
        return std::nullopt;
    }
    std::vector<uint8_t> copy(bytes, bytes + headerSize);
    std::fill(copy.begin() + 16, copy.begin() + 20, 0);
    if (Crc32(copy.data(), copy.size()) != ReadLE32(bytes + 16)) {
        return std::nullopt;
    }
    if (ReadLE64(bytes + 24) != static_cast<uint64_t>(lba)) {
        return std::nullopt;
    }
    GptHeader header{};
    uint64_t entriesLba = ReadLE64(bytes + 72);
    header.entryCount = ReadLE32(bytes + 80);
    header.entrySize = ReadLE32(bytes + 84);
    header.entriesCrc = ReadLE32(bytes + 88);
    if (header.entrySize < kMinEntrySize || header.entrySize % kMinEntrySize != 0) {
        return std::nullopt;
    }
    uint64_t arrayBytes = uint64_t{header.entryCount} * header.entrySize;
    if (arrayBytes == 0 || arrayBytes > kMaxEntryArrayBytes) {
        return std::nullopt;
    }
    uint64_t arraySectors = (arrayBytes + sectorSize - 1) / sectorSize;
    if (entriesLba < 2 || entriesLba >= static_cast<uint64_t>(diskSectors) ||
        arraySectors > static_cast<uint64_t>(diskSectors) - entriesLba) {
        return std::nullopt;
    }
    header.entriesLba = static_cast<int64_t>(entriesLba);
    return header;
}

// Reads the header at `lba` and its entry array; false when either is damaged
// (a read failure is answered through `code`).
bool ReadTable(IStorageDevice* device, int64_t lba, GptHeader& header,
               std::vector<uint8_t>& entries, RESULT_CODE& code) {
    int64_t diskSectors = device->GetTotalSectors();
    uint32_t sectorSize = device->GetSectorSize();
    std::vector<uint8_t> sector;
    code = ReadDeviceSectors(device, lba, 1, sector);
    if (IsFailure(code)) {
        return false;
    }
    std::optional<GptHeader> parsed = ParseHeader(sector, lba, diskSectors, sectorSize);
    if (!parsed) {
        return false;
    }
    header = *parsed;
    uint64_t arrayBytes = uint64_t{header.entryCount} * header.entrySize;
    int64_t arraySectors = static_cast<int64_t>((arrayBytes + sectorSize - 1) / sectorSize);
    code = ReadDeviceSectors(device, header.entriesLba, arraySectors, entries);
    if (IsFailure(code)) {
        return false;
    }
    return Crc32(entries.data(), arrayBytes) == header.entriesCrc;
}

bool IsZero(const uint8_t* bytes, size_t length) {
    return std::all_of(bytes, bytes + length, [](uint8_t b) { return b == 0; });
}

}  // namespace

RESULT_CODE CBaseGPTAnalyzer::AnalyzeBaseGPT(IStorageDevice* device,
                                             std::list<PartitionEntry>& partitions) {
    partitions.clear();
    std::vector<uint8_t> mbrSector;
    RESULT_CODE code = ReadDeviceSectors(device, 0, 1, mbrSector);
    if (IsFailure(code)) {
        return code;
    }
    if (mbr::IsDynamicDisk(mbrSector.data())) {
        return PT_FAILURE(kResultNotSupported);
    }
    int64_t diskSectors = device->GetTotalSectors();
    if (diskSectors < 3) {
        return PT_FAILURE(kResultMalformed);
    }
    GptHeader header{};
    std::vector<uint8_t> entries;
    if (!ReadTable(device, 1, header, entries, code)) {
        if (IsFailure(code)) {
            return code;
        }
        if (!ReadTable(device, diskSectors - 1, header, entries, code)) {
            return IsFailure(code) ? code : PT_FAILURE(kResultMalformed);
        }
    }
    const int64_t smallestListed = kSmallestListedBytes / device->GetSectorSize();
    for (uint32_t i = 0; i < header.entryCount; ++i) {
        const uint8_t* raw = entries.data() + size_t{i} * header.entrySize;
        if (IsZero(raw, 16)) {
            continue;
        }
        auto first = static_cast<int64_t>(ReadLE64(raw + 32));
        auto last = static_cast<int64_t>(ReadLE64(raw + 40));
        if (first < 0 || first >= diskSectors) {
            continue;
        }
        // An entry reaching past the disk is cut at the disk's end.
        int64_t count =
            (last >= first && last < diskSectors) ? last - first + 1 : diskSectors - first;
        if (count <= smallestListed) {
            continue;
        }
        PartitionEntry entry = MakePartitionEntry(i + 1, first, count);
        std::memcpy(entry.typeGuid, raw, 16);
        std::memcpy(entry.partitionGuid, raw + 16, 16);
        partitions.push_back(entry);
    }
    return kResultSuccess;
}
