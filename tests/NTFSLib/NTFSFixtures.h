#pragma once

// The NTFS fixture images (tests/fixtures/ntfs) and their manifests.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "FATImageDevice.h"
#include "TestSupport.h"

namespace harbex::test {

inline const std::vector<std::string>& NTFSFixtureNames() {
    static const std::vector<std::string> names = {"ntfs_512", "ntfs_512_1k", "ntfs_4096",
                                                   "ntfs_4096_8k"};
    return names;
}

// Decompressed once per test process.
inline std::filesystem::path NTFSFixtureImage(const std::string& name) {
    static TempDir folder;
    static std::map<std::string, std::filesystem::path> made;
    auto found = made.find(name);
    if (found != made.end())
        return found->second;
    const auto target = folder / (name + ".img");
    if (!DecompressXz(FixturePath("ntfs/" + name + ".img.xz"), target))
        return {};
    made[name] = target;
    return target;
}

struct NTFSManifestEntry {
    bool directory = false;
    std::string path;
    int64_t size = 0;
    std::string sha256;
    int64_t mtime = 0;
    std::string state;
    bool deleted() const { return state == "deleted" || state == "deleted-fragmented"; }
};

struct NTFSManifest {
    std::string label;
    uint32_t sectorSize = 0;
    int64_t totalSectors = 0;
    std::vector<NTFSManifestEntry> entries;
};

inline NTFSManifest ReadNTFSManifest(const std::string& name) {
    NTFSManifest manifest;
    std::ifstream in(FixturePath("ntfs/" + name + ".manifest"));
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
            NTFSManifestEntry entry;
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
