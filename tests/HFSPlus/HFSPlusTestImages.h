#pragma once

// The HFS+ fixture volumes (tests/fixtures/hfsplus) with their manifests, and
// an in-memory device over an image with a chosen sector size.

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

// The bytes of tests/fixtures/hfsplus/<name>.img.xz, decompressed once per process.
inline const std::vector<uint8_t>& HFSPlusImage(const std::string& name) {
    static TempDir folder;
    static std::map<std::string, std::vector<uint8_t>> made;
    auto found = made.find(name);
    if (found == made.end()) {
        const auto target = folder / (name + ".img");
        std::vector<uint8_t> bytes;
        if (DecompressXz(FixturePath("hfsplus/" + name + ".img.xz"), target))
            bytes = ReadFile(target);
        found = made.emplace(name, std::move(bytes)).first;
    }
    return found->second;
}

// Where the decompressed image lies as a file (for tools that read files).
inline std::filesystem::path HFSPlusImageFile(const std::string& name) {
    static TempDir folder;
    const auto path = folder / (name + ".img");
    if (!std::filesystem::exists(path))
        WriteFile(path, HFSPlusImage(name));
    return path;
}

struct HFSPlusManifestEntry {
    bool directory = false;
    std::string path;
    int64_t size = 0;
    std::string sha256;
    int64_t mtime = 0;
    bool deleted = false;
};

struct HFSPlusManifest {
    uint32_t blockSize = 0;
    uint64_t totalSectors = 0;  // 512-byte sectors of the volume
    uint64_t volumeStart = 0;   // 512-byte sector of the volume on a disk image
    std::vector<HFSPlusManifestEntry> entries;
    // Files a damaged copy still lists but cannot give back whole.
    std::set<std::string> unreadable;
};

inline HFSPlusManifest ReadHFSPlusManifest(const std::string& name) {
    HFSPlusManifest manifest;
    std::ifstream in(FixturePath("hfsplus/" + name + ".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t'))
            fields.push_back(field);
        if (fields.size() == 2 && fields[0] == "#block_size") {
            manifest.blockSize = static_cast<uint32_t>(std::stoul(fields[1]));
        } else if (fields.size() == 2 && fields[0] == "#total_sectors") {
            manifest.totalSectors = std::stoull(fields[1]);
        } else if (fields.size() == 2 && fields[0] == "#volume_start") {
            manifest.volumeStart = std::stoull(fields[1]);
        } else if (fields.size() == 2 && fields[0] == "#unreadable") {
            manifest.unreadable.insert(fields[1]);
        } else if (fields.size() == 6) {
            HFSPlusManifestEntry entry;
            entry.directory = fields[0] == "dir";
            entry.path = fields[1];
            entry.size = std::stoll(fields[2]);
            entry.sha256 = fields[3];
            entry.mtime = std::stoll(fields[4]);
            entry.deleted = fields[5] == "deleted";
            manifest.entries.push_back(entry);
        }
    }
    return manifest;
}

// A read-only volume over bytes in memory. Sectors past `failFrom` fail to read.
class HFSPlusMemoryDevice : public IStorageDevice {
public:
    HFSPlusMemoryDevice(std::vector<uint8_t> bytes, uint32_t sectorSize,
                        uint32_t type = kStorageDeviceVolume)
        : bytes_(std::move(bytes)), sectorSize_(sectorSize), type_(type) {
        bytes_.resize((bytes_.size() + sectorSize - 1) / sectorSize * sectorSize);
    }

    bool Open(char*) override { return true; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        ++reads;
        if (buffer == nullptr || first < 0 || count <= 0 || count > GetTotalSectors() - first ||
            first + count > failFrom) {
            return false;
        }
        std::memcpy(buffer, bytes_.data() + first * sectorSize_, count * sectorSize_);
        return true;
    }
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return static_cast<int64_t>(bytes_.size() / sectorSize_); }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return holder_.get(); }
    void SetPrivateData(IStorageDeviceData* data) override { holder_.reset(data); }
    uint32_t GetType() override { return type_; }
    RESULT_CODE GetLastError() override {
        return ENGINE_FAILURE(kModuleStorageDevice, kResultShortRead);
    }

    std::vector<uint8_t>& bytes() { return bytes_; }
    int64_t failFrom = INT64_MAX;
    int reads = 0;

private:
    std::vector<uint8_t> bytes_;
    uint32_t sectorSize_;
    uint32_t type_;
    std::unique_ptr<IStorageDeviceData> holder_;
};

// Big-endian stores for building or damaging structures in tests.
inline void PutBE16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}
inline void PutBE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    PutBE16(b, at, static_cast<uint16_t>(v >> 16));
    PutBE16(b, at + 2, static_cast<uint16_t>(v));
}
inline void PutBE64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
    PutBE32(b, at, static_cast<uint32_t>(v >> 32));
    PutBE32(b, at + 4, static_cast<uint32_t>(v));
}

}  // namespace harbex::test
