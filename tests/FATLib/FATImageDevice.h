#pragma once

// Test devices over the FAT fixture images, shared by the FAT test suites.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "StorageDevice.h"
#include "StorageDeviceData.h"
#include "TestSupport.h"

namespace harbex::test {

// The decompressed fixture image `name` (tests/fixtures/fat/<name>.img.xz),
// made once per test process.
inline std::filesystem::path FATFixtureImage(const std::string& name) {
    static TempDir folder;
    static std::map<std::string, std::filesystem::path> made;
    auto found = made.find(name);
    if (found != made.end()) {
        return found->second;
    }
    const auto target = folder / (name + ".img");
    if (!DecompressXz(FixturePath("fat/" + name + ".img.xz"), target)) {
        return {};
    }
    made[name] = target;
    return target;
}

// A read-only device over an image file with chosen sector size and type.
// Sectors can be overlaid with other bytes (damage) or made unreadable.
class FATImageDevice : public IStorageDevice {
public:
    FATImageDevice(const std::filesystem::path& image, uint32_t sectorSize,
                   uint32_t type = kStorageDeviceVolume)
        : sectorSize_(sectorSize), type_(type) {
        fd_ = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ >= 0) {
            totalSectors_ = static_cast<int64_t>(std::filesystem::file_size(image) / sectorSize);
        }
    }
    ~FATImageDevice() override {
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool Open(char*) override { return fd_ >= 0; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        ++reads_;
        if (fd_ < 0 || first < 0 || count <= 0 || first + count > totalSectors_)
            return false;
        for (int64_t s = first; s < first + count; ++s) {
            if (unreadable_.count(s))
                return false;
        }
        const size_t bytes = static_cast<size_t>(count) * sectorSize_;
        if (::pread(fd_, buffer, bytes, first * sectorSize_) != static_cast<ssize_t>(bytes)) {
            return false;
        }
        for (const auto& [sector, data] : overlay_) {
            if (sector >= first && sector < first + count) {
                std::memcpy(static_cast<uint8_t*>(buffer) + (sector - first) * sectorSize_,
                            data.data(), sectorSize_);
            }
        }
        return true;
    }
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return totalSectors_; }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return data_.get(); }
    void SetPrivateData(IStorageDeviceData* data) override { data_.reset(data); }
    uint32_t GetType() override { return type_; }
    RESULT_CODE GetLastError() override { return 0; }

    // The sector's bytes as the device would read them.
    std::vector<uint8_t> Sector(int64_t sector) {
        std::vector<uint8_t> bytes(sectorSize_);
        ReadSector(bytes.data(), sector, 1);
        return bytes;
    }
    void Overlay(int64_t sector, std::vector<uint8_t> bytes) {
        bytes.resize(sectorSize_);
        overlay_[sector] = std::move(bytes);
    }
    void MakeUnreadable(int64_t sector) { unreadable_.insert(sector); }
    void SetTotalSectors(int64_t sectors) { totalSectors_ = sectors; }
    uint64_t reads() const { return reads_; }

    // Describes the device as a volume of file-system type `fsType`.
    void DescribeAsVolume(uint32_t fsType) {
        auto* info = new CCollectedVolumeDeviceInfoStruct{};
        info->fileSystemType = fsType;
        info->sectorSize = sectorSize_;
        info->sectorCount = totalSectors_;
        SetPrivateData(CreateVolumeDeviceData(info));
    }

private:
    int fd_ = -1;
    uint32_t sectorSize_;
    uint32_t type_;
    int64_t totalSectors_ = 0;
    std::unique_ptr<IStorageDeviceData> data_;
    std::map<int64_t, std::vector<uint8_t>> overlay_;
    std::set<int64_t> unreadable_;
    uint64_t reads_ = 0;
};

// The tab-separated fields of one line of a manifest or a listing.
inline std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream split(line);
    std::string field;
    while (std::getline(split, field, '\t'))
        fields.push_back(field);
    return fields;
}

// One line of an image's manifest.
struct FATManifestEntry {
    bool directory = false;
    std::string path;
    int64_t size = 0;
    std::string sha256;
    int64_t mtime = 0;  // seconds since 1970, 0 when not recorded
    // live, crosslinked (live, its chain runs into another file's clusters),
    // deleted, deleted-fragmented, deleted-highword
    std::string state;
    bool deleted() const { return state.rfind("deleted", 0) == 0; }
};

struct FATManifest {
    std::string label;
    uint32_t sectorSize = 0;
    int64_t totalSectors = 0;
    std::vector<FATManifestEntry> entries;
};

inline FATManifest ReadFATManifest(const std::string& name) {
    FATManifest manifest;
    std::ifstream in(FixturePath("fat/" + name + ".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = SplitTabs(line);
        if (fields.size() == 2 && fields[0] == "#label")
            manifest.label = fields[1];
        if (fields.size() == 2 && fields[0] == "#sector_size")
            manifest.sectorSize = static_cast<uint32_t>(std::stoul(fields[1]));
        if (fields.size() == 2 && fields[0] == "#total_sectors")
            manifest.totalSectors = std::stoll(fields[1]);
        if (fields.size() == 6) {
            FATManifestEntry entry;
            entry.directory = fields[0] == "dir";
            entry.path = fields[1];
            entry.size = std::stoll(fields[2]);
            entry.sha256 = fields[3];
            entry.mtime = fields[4] == "-" ? 0 : std::stoll(fields[4]);
            entry.state = fields[5];
            manifest.entries.push_back(entry);
        }
    }
    return manifest;
}

}  // namespace harbex::test
