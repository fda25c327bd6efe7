#pragma once

#include <cstdint>

// The NTFS boot sector (one 512-byte sector at the start of the volume).
class CNTFSDBR {
public:
    static constexpr int kSize = 512;

    CNTFSDBR() = default;

    // Keeps a copy of the sector when it passes IsFullValidDBR; answers the verdict.
    bool InitFromBuffer(const uint8_t* buffer);
    static bool IsFullValidDBR(const uint8_t* buffer);
    // The OEM identifier alone.
    static bool IsValidDBR(const uint8_t* buffer);
    // The eight identifier bytes (not terminated).
    void GetFileSystemID(char* id) const;

    uint32_t GetBytesPerSector() const;
    uint32_t GetFileRecordSizeByByte() const;
    int64_t GetMFTStartCluster() const;
    int64_t GetMFTMirrorStartCluster() const;
    uint8_t GetSectorsperCluster() const { return sector_[13]; }
    int64_t GetTotalSectors() const;
    uint64_t GetSerialNumber() const;

private:
    uint8_t sector_[kSize] = {};
};
