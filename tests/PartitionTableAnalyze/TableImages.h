#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Helpers that build partition-table images in tests and read what the
// system's own tools (sfdisk, partx) make of them.
namespace tables {

// A sparse file of `bytes` bytes.
void MakeSparseImage(const std::filesystem::path& image, uint64_t bytes);

// Writes `data` at sector `sector` of the image.
void WriteAt(const std::filesystem::path& image, uint64_t offset, const std::vector<uint8_t>& data);

// Runs sfdisk with `script` on the image or device; false when sfdisk refuses it.
bool RunSfdisk(const std::string& target, const std::string& script);

struct ToolPartition {
    uint32_t number = 0;
    int64_t start = 0;
    int64_t size = 0;
    std::string type;  // "83" or a GUID in text form
    std::string uuid;  // GPT partition GUID in text form
};

// The partitions `sfdisk --dump` lists for an image or device.
std::vector<ToolPartition> SfdiskDump(const std::string& target);

// The partitions `partx --show` lists for an image (number, start, sectors).
std::vector<ToolPartition> PartxShow(const std::string& target);

// A GPT GUID as stored on disk in its text form (upper case).
std::string GuidText(const uint8_t* bytes);

// A 512-byte sector with the 0x55AA signature and the given MBR entries.
struct MbrSlot {
    uint8_t boot = 0;
    uint8_t type = 0;
    uint32_t first = 0;
    uint32_t count = 0;
};
std::vector<uint8_t> MbrSector(const std::vector<MbrSlot>& slots);

// One block of an Apple partition map.
struct MapEntry {
    uint32_t first;
    uint32_t length;
    const char* type;
};

// Writes a driver descriptor of `blockSize` and one map block per entry, each
// claiming `claimedCount` entries.
void WriteApm(const std::filesystem::path& image, uint32_t blockSize,
              const std::vector<MapEntry>& entries, uint32_t claimedCount);

}  // namespace tables
