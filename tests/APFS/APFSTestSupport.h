#pragma once

// Devices, fixtures and hand-made blocks shared by the APFS tests.

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "APFSStructures.h"
#include "StorageDevice.h"
#include "TestSupport.h"

namespace harbex::test {

// The decompressed fixture image tests/fixtures/apfs/<name>.img.xz, made once
// per test process; empty when it cannot be made.
inline std::filesystem::path APFSImage(const std::string& name) {
    static TempDir folder;
    static std::map<std::string, std::filesystem::path> made;
    auto found = made.find(name);
    if (found != made.end())
        return found->second;
    const auto target = folder / (name + ".img");
    if (!DecompressXz(FixturePath("apfs/" + name + ".img.xz"), target))
        return {};
    return made[name] = target;
}

// The shared macOS-made container, decompressed once; empty when absent.
inline std::filesystem::path SharedAPFSImage() {
    static TempDir folder;
    static std::filesystem::path made;
    if (!made.empty())
        return made;
    const auto source = SharedFixturePath("apfs-dfvfs.raw.xz");
    if (!source)
        return {};
    const auto target = folder / "apfs-dfvfs.raw";
    if (DecompressXz(*source, target))
        made = target;
    return made;
}

inline std::vector<std::string> Tabs(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream split(line);
    std::string field;
    while (std::getline(split, field, '\t'))
        fields.push_back(field);
    return fields;
}

struct APFSContainerEntry {
    int index = 0;
    int64_t start = 0;
    int64_t sectors = 0;
    std::string label;
};

struct APFSFileEntry {
    int container = 0;
    bool directory = false;
    std::string path;
    int64_t size = 0;
    std::string sha256;
    int64_t mtime = 0;
    bool deleted = false;
};

struct APFSManifest {
    uint32_t sectorSize = 512;
    std::vector<APFSContainerEntry> containers;
    std::vector<APFSFileEntry> files;
    // Paths whose data damage made unreadable: listed, never copied out whole.
    std::set<std::string> unreadable;
};

inline APFSManifest ReadAPFSManifest(const std::string& name) {
    APFSManifest manifest;
    std::ifstream in(FixturePath("apfs/" + name + ".manifest"));
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Tabs(line);
        if (f.size() == 2 && f[0] == "#sector_size")
            manifest.sectorSize = static_cast<uint32_t>(std::stoul(f[1]));
        if (f.size() == 2 && f[0] == "#unreadable")
            manifest.unreadable.insert(f[1]);
        if (f.size() == 5 && f[0] == "container")
            manifest.containers.push_back(
                {std::stoi(f[1]), std::stoll(f[2]), std::stoll(f[3]), f[4]});
        if (f.size() == 7 && (f[0] == "file" || f[0] == "dir")) {
            APFSFileEntry entry;
            entry.container = std::stoi(f[1]);
            entry.directory = f[0] == "dir";
            entry.path = f[2];
            if (!entry.directory) {
                entry.size = std::stoll(f[3]);
                entry.sha256 = f[4];
                entry.mtime = std::stoll(f[5]);
            }
            entry.deleted = f[6] == "deleted";
            manifest.files.push_back(entry);
        }
    }
    return manifest;
}

// A read-only device over an image file with a chosen sector size, optionally
// cut short; bytes can be overlaid (damage) and sectors made unreadable.
class APFSImageDevice : public IStorageDevice {
public:
    APFSImageDevice(const std::filesystem::path& image, uint32_t sectorSize, int64_t sectors = -1)
        : sectorSize_(sectorSize) {
        fd_ = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
        const int64_t whole =
            fd_ >= 0 ? static_cast<int64_t>(std::filesystem::file_size(image) / sectorSize) : 0;
        totalSectors_ = sectors >= 0 && sectors < whole ? sectors : whole;
    }
    ~APFSImageDevice() override {
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool Open(char*) override { return fd_ >= 0; }
    bool Close() override { return true; }
    bool ReadSector(void* buffer, int64_t first, int64_t count) override {
        if (fd_ < 0 || first < 0 || count <= 0 || first + count > totalSectors_)
            return false;
        for (int64_t bad : unreadable_) {
            if (bad >= first && bad < first + count)
                return false;
        }
        const uint64_t from = static_cast<uint64_t>(first) * sectorSize_;
        const size_t bytes = static_cast<size_t>(count) * sectorSize_;
        if (::pread(fd_, buffer, bytes, static_cast<off_t>(from)) != static_cast<ssize_t>(bytes))
            return false;
        auto* out = static_cast<uint8_t*>(buffer);
        for (auto at = overlay_.lower_bound(from); at != overlay_.end() && at->first < from + bytes;
             ++at)
            out[at->first - from] = at->second;
        return true;
    }
    uint32_t GetSectorSize() override { return sectorSize_; }
    int64_t GetTotalSectors() override { return totalSectors_; }
    bool IOCtl(uint64_t, void*) override { return false; }
    IStorageDeviceData* GetPrivateData() override { return nullptr; }
    void SetPrivateData(IStorageDeviceData*) override {}
    uint32_t GetType() override { return kStorageDeviceDisk; }
    RESULT_CODE GetLastError() override { return 0; }

    void Overlay(uint64_t byteOffset, const std::vector<uint8_t>& bytes) {
        for (size_t i = 0; i < bytes.size(); ++i)
            overlay_[byteOffset + i] = bytes[i];
    }
    void MakeUnreadable(int64_t sector) { unreadable_.push_back(sector); }

private:
    int fd_ = -1;
    uint32_t sectorSize_;
    int64_t totalSectors_ = 0;
    std::map<uint64_t, uint8_t> overlay_;
    std::vector<int64_t> unreadable_;
};

// Little-endian writers for hand-made blocks.
inline void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    for (int i = 0; i < 2; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A file-system tree leaf (not a root) built record by record: table of
// contents at 56, keys after it, values from the block's end.
class LeafBuilder {
public:
    explicit LeafBuilder(uint64_t oid = 1000, uint64_t xid = 5) : block_(apfs::kBlockSize, 0) {
        Put64(block_, 8, oid);
        Put64(block_, 16, xid);
        Put32(block_, 24, apfs::kTypeBTreeNode);
        Put32(block_, 28, apfs::kSubtypeFileSystemTree);
        Put16(block_, 32, apfs::kNodeLeaf);
        Put16(block_, 42, kTableLength);
    }
    LeafBuilder& Add(const std::vector<uint8_t>& key, const std::vector<uint8_t>& value) {
        const size_t at = 56 + count_ * 8;
        Put16(block_, at, static_cast<uint16_t>(keyUsed_));
        Put16(block_, at + 2, static_cast<uint16_t>(key.size()));
        valueUsed_ += value.size();
        Put16(block_, at + 4, static_cast<uint16_t>(valueUsed_));
        Put16(block_, at + 6, static_cast<uint16_t>(value.size()));
        std::memcpy(block_.data() + 56 + kTableLength + keyUsed_, key.data(), key.size());
        std::memcpy(block_.data() + apfs::kBlockSize - valueUsed_, value.data(), value.size());
        keyUsed_ += key.size();
        Put32(block_, 36, static_cast<uint32_t>(++count_));
        return *this;
    }
    std::vector<uint8_t>& block() { return block_; }

    static constexpr uint16_t kTableLength = 64 * 8;

private:
    std::vector<uint8_t> block_;
    size_t count_ = 0;
    size_t keyUsed_ = 0;
    size_t valueUsed_ = 0;
};

inline std::vector<uint8_t> RecordKey(uint8_t type, uint64_t oid, size_t extra = 0) {
    std::vector<uint8_t> key(8 + extra, 0);
    Put64(key, 0, uint64_t{type} << 60 | oid);
    return key;
}

inline std::vector<uint8_t> DirRecordKey(uint64_t parent, const std::string& name) {
    std::vector<uint8_t> key = RecordKey(9, parent, 4 + name.size() + 1);
    Put32(key, 8, 0x12345u << 10 | static_cast<uint32_t>(name.size() + 1));
    std::memcpy(key.data() + 12, name.data(), name.size());
    return key;
}

inline std::vector<uint8_t> DirRecordValue(uint64_t fileId, uint64_t added, uint16_t kind) {
    std::vector<uint8_t> value(18, 0);
    Put64(value, 0, fileId);
    Put64(value, 8, added);
    Put16(value, 16, kind);
    return value;
}

// An inode value with a name field and, for a file, a data-stream field.
inline std::vector<uint8_t> InodeValue(uint64_t parent, uint64_t privateId, const std::string& name,
                                       bool folder, uint64_t size, uint64_t time) {
    std::vector<uint8_t> value(92, 0);
    Put64(value, 0, parent);
    Put64(value, 8, privateId);
    for (size_t at : {16, 24, 32, 40})
        Put64(value, at, time);
    Put16(value, 80, folder ? 0x41ED : 0x81A4);
    const uint16_t fields = folder ? 1 : 2;
    const size_t nameSize = name.size() + 1;
    const size_t namePadded = (nameSize + 7) / 8 * 8;
    std::vector<uint8_t> blob(4 + fields * 4, 0);
    Put16(blob, 0, fields);
    blob[4] = 4;
    blob[5] = 2;
    Put16(blob, 6, static_cast<uint16_t>(nameSize));
    if (!folder) {
        blob[8] = 8;
        blob[9] = 0x20;
        Put16(blob, 10, 40);
    }
    std::vector<uint8_t> data(namePadded + (folder ? 0 : 40), 0);
    std::memcpy(data.data(), name.data(), name.size());
    if (!folder)
        Put64(data, namePadded, size);
    value.insert(value.end(), blob.begin(), blob.end());
    value.insert(value.end(), data.begin(), data.end());
    return value;
}

inline std::vector<uint8_t> ExtentKey(uint64_t oid, uint64_t offset) {
    std::vector<uint8_t> key = RecordKey(8, oid, 8);
    Put64(key, 8, offset);
    return key;
}

inline std::vector<uint8_t> ExtentValue(uint64_t lengthAndFlags, uint64_t physical) {
    std::vector<uint8_t> value(24, 0);
    Put64(value, 0, lengthAndFlags);
    Put64(value, 8, physical);
    return value;
}

}  // namespace harbex::test
