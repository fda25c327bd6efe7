#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace harbex::test {

// Bytes that differ from sector to sector, so a read from the wrong place shows.
std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed);

// pread of a range of a file; shorter than asked at the end of the file.
std::vector<uint8_t> PreadRange(const std::filesystem::path& path, int64_t offset, size_t length);

}  // namespace harbex::test

struct COZTDeviceInfoStruct;

namespace harbex::test {

// Writes a tagged image: tag, information block, zeros up to `dataOffset`, then
// `sectors`. The stored file length is off by `lengthError` bytes. Answers the block.
COZTDeviceInfoStruct WriteOztImage(const std::filesystem::path& path,
                                   const std::vector<uint8_t>& sectors, int64_t dataOffset,
                                   const char* deviceName, int64_t lengthError = 0);

// One block entry of a disk-image block table, sectors relative to the table.
struct UdifBlock {
    uint32_t type;
    uint64_t firstSector;
    uint64_t sectorCount;
    uint64_t offset;
    uint64_t length;
};

// Writes an Apple disk image: `data`, the property list with one block table
// of `blocks` (its entry count field set to `declaredEntries` when given), and
// the trailer that names `sectorCount` sectors.
void WriteUdifImage(const std::filesystem::path& path, const std::vector<uint8_t>& data,
                    uint64_t sectorCount, const std::vector<UdifBlock>& blocks,
                    int64_t declaredEntries = -1);

// The same trailer over a property list given as text.
void WriteUdifImageWithPlist(const std::filesystem::path& path, const std::vector<uint8_t>& data,
                             uint64_t sectorCount, const std::string& plist);

}  // namespace harbex::test
