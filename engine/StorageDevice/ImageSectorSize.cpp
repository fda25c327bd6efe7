#include "ImageSectorSize.h"

#include <array>
#include <cstring>

#include "AsyncRead.h"

namespace {

constexpr uint32_t kSmallestSector = 512;
constexpr uint32_t kSectorSizes[] = {512, 1024, 2048, 4096};
constexpr size_t kMbrEntries = 446;

using Sector = std::array<uint8_t, kSmallestSector>;

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool IsKnownSize(uint32_t size) {
    for (uint32_t known : kSectorSizes) {
        if (size == known)
            return true;
    }
    return false;
}

// The sector size a volume boot sector declares; 0 when it is none.
uint32_t DeclaredSectorSize(const Sector& s) {
    if (s[510] != 0x55 || s[511] != 0xAA)
        return 0;
    if (std::memcmp(&s[3], "EXFAT   ", 8) == 0)
        return s[108] >= 9 && s[108] <= 12 ? 1u << s[108] : 0;
    const uint32_t bytes = Le16(&s[11]);
    if (!IsKnownSize(bytes))
        return 0;
    if (std::memcmp(&s[3], "NTFS    ", 8) == 0)
        return bytes;
    // FAT: a jump, clusters of a power of two sectors, reserved sectors, one
    // or two FATs and a media byte.
    const bool jump = s[0] == 0xEB || s[0] == 0xE9;
    const uint8_t perCluster = s[13];
    const bool fat = jump && perCluster != 0 && (perCluster & (perCluster - 1)) == 0 &&
                     Le16(&s[14]) != 0 && (s[16] == 1 || s[16] == 2) &&
                     (s[21] == 0xF0 || s[21] >= 0xF8);
    return fat ? bytes : 0;
}

}  // namespace

uint32_t ImageSectorSize(const ImageReader& read) {
    Sector first{};
    if (!read(0, first.data(), first.size()))
        return kSmallestSector;
    if (const uint32_t declared = DeclaredSectorSize(first); declared != 0)
        return declared;
    // A GUID partition table's header stands in the second sector.
    for (uint32_t size : kSectorSizes) {
        char signature[8];
        if (read(size, reinterpret_cast<uint8_t*>(signature), sizeof(signature)) &&
            std::memcmp(signature, "EFI PART", 8) == 0) {
            return size;
        }
    }
    if (first[510] != 0x55 || first[511] != 0xAA)
        return kSmallestSector;
    // An MBR counts in sectors: a partition's boot sector is found where the
    // sector size it declares puts it.
    for (size_t entry = kMbrEntries; entry < kMbrEntries + 64; entry += 16) {
        const uint8_t* e = &first[entry];
        const uint32_t start = Le32(e + 8);
        if (e[4] == 0 || start == 0 || (e[0] != 0 && e[0] != 0x80))
            continue;
        for (uint32_t size : kSectorSizes) {
            Sector boot{};
            if (read(uint64_t{start} * size, boot.data(), boot.size()) &&
                DeclaredSectorSize(boot) == size) {
                return size;
            }
        }
    }
    return kSmallestSector;
}

uint32_t ImageFileSectorSize(int fd) {
    return ImageSectorSize([fd](uint64_t offset, uint8_t* buffer, size_t length) {
        return KvReadAsyncData(buffer, fd, static_cast<int64_t>(offset),
                               static_cast<int64_t>(length)) == static_cast<int64_t>(length);
    });
}
