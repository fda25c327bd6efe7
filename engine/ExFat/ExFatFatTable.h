#pragma once

#include <cstdint>
#include <map>
#include <memory>

class IStorageDevice;

// Reads the entries of an exFAT FAT through 1 MiB windows, at most nine held
// at once; the window with the lowest sector goes first.
class CFatTable {
public:
    static constexpr uint32_t kWindowBytes = 1u << 20;
    static constexpr uint32_t kEntriesPerWindow = kWindowBytes / 4;
    static constexpr size_t kMaxWindows = 9;
    static constexpr uint32_t kNoEntry = 0xFFFFFFFF;

    CFatTable() = default;
    virtual ~CFatTable() = default;
    CFatTable(const CFatTable&) = delete;
    CFatTable& operator=(const CFatTable&) = delete;

    // Prepares the reader for the FAT at `firstSector` of `length` sectors and
    // loads its first window; nothing is held when the FAT does not lie on the
    // device or cannot be read.
    void CreateFatTable(IStorageDevice* device, int64_t firstSector, uint32_t length,
                        uint32_t unused = 0);
    // The FAT entry of `cluster`; kNoEntry when it lies outside the FAT or
    // cannot be read.
    uint32_t GetNextCluster(uint32_t cluster);
    bool IsValid() const { return !windows_.empty(); }
    size_t WindowCount() const { return windows_.size(); }
    void ClearFatData();

private:
    using Window = std::unique_ptr<uint32_t[]>;
    bool ReadWindow(int64_t key, uint32_t* entries);

    IStorageDevice* device_ = nullptr;
    int64_t firstSector_ = 0;
    uint32_t length_ = 0;
    uint32_t sectorsPerWindow_ = 0;
    uint32_t sectorSize_ = 0;
    std::map<int64_t, Window> windows_;
};
