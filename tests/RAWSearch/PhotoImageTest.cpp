// The raw search over the photo layout images of tests/fixtures/raw (camera
// and phone JPEGs, GIFs, TIFFs typed as camera raws) against their
// manifests: every file carved byte for byte, typed, named and tagged.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "FileNode.h"
#include "RAWSearchController.h"
#include "RawTestSupport.h"
#include "TestSupport.h"
#include "TiffAnalyzer.h"

using namespace harbex::test;

namespace {

struct PhotoEntry {
    std::string extension;
    int64_t start = 0;
    int64_t length = 0;
    std::string name;  // what the carved name begins with; empty for none
};

struct PhotoManifest {
    uint32_t sectorSize = 0;
    std::vector<PhotoEntry> entries;
};

PhotoManifest ReadPhotoManifest(const std::string& name) {
    PhotoManifest manifest;
    std::ifstream in(FixturePath("raw/" + name + ".manifest"));
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');)
            fields.push_back(field);
        if (fields.size() == 2 && fields[0] == "#sector_size")
            manifest.sectorSize = uint32_t(std::stoul(fields[1]));
        if (fields.size() == 6) {
            manifest.entries.push_back({fields[0], std::stoll(fields[1]), std::stoll(fields[2]),
                                        fields[5] == "-" ? "" : fields[5]});
        }
    }
    return manifest;
}

struct Carved {
    int64_t size = 0;
    std::string name;
    bool tagged = false;
};

std::map<int64_t, Carved> Carve(std::vector<uint8_t> image, uint32_t sectorSize) {
    MemoryDevice device(std::move(image), sectorSize);
    std::map<int64_t, Carved> carved;
    for (const auto& [start, file] : CarveDevice(device, int(0x400000 / sectorSize)))
        carved[start] = {file.size, file.name, file.tree == SEARCHER_RAW_BY_TAG};
    return carved;
}

class PhotoImages : public ::testing::TestWithParam<const char*> {};

TEST_P(PhotoImages, EveryPictureIsCarvedWholeTypedAndNamed) {
    const PhotoManifest manifest = ReadPhotoManifest(GetParam());
    ASSERT_FALSE(manifest.entries.empty());
    TempDir dir;
    const auto path = dir / "image.img";
    ASSERT_TRUE(DecompressXz(FixturePath(std::string("raw/") + GetParam() + ".img.xz"), path));

    const auto carved = Carve(ReadFile(path), manifest.sectorSize);
    for (const PhotoEntry& entry : manifest.entries) {
        SCOPED_TRACE(entry.extension + " at " + std::to_string(entry.start));
        const auto found = carved.find(entry.start);
        if (found == carved.end()) {
            ADD_FAILURE() << "not carved";
            continue;
        }
        const Carved& file = found->second;
        EXPECT_EQ(file.size, entry.length);
        EXPECT_EQ(file.name.substr(file.name.rfind('.') + 1), entry.extension);
        if (entry.extension == "JPG") {
            // Camera pictures: make, model, then the sectors they span.
            EXPECT_EQ(file.name.rfind(entry.name + std::to_string(entry.start) + "-", 0), 0u)
                << file.name;
        } else if (!entry.name.empty()) {
            EXPECT_EQ(file.name.rfind(entry.name, 0), 0u) << file.name;
        }
        EXPECT_EQ(file.tagged, !entry.name.empty()) << file.name;
    }
    // The random bytes around the files give no false finds.
    for (const auto& [start, file] : carved) {
        const bool listed =
            std::any_of(manifest.entries.begin(), manifest.entries.end(),
                        [start = start](const auto& e) { return e.start == start; });
        EXPECT_TRUE(listed) << file.name << " at " << start << ", " << file.size << " bytes";
    }
}

// TIFFs and camera raws the stream hands over (evicted, or still open at the
// end) are measured alike by the walk over the device.
TEST_P(PhotoImages, HandedOverTiffsAreMeasuredAlikeOnTheDevice) {
    const PhotoManifest manifest = ReadPhotoManifest(GetParam());
    ASSERT_FALSE(manifest.entries.empty());
    TempDir dir;
    const auto path = dir / "image.img";
    ASSERT_TRUE(DecompressXz(FixturePath(std::string("raw/") + GetParam() + ".img.xz"), path));
    const std::vector<uint8_t> image = ReadFile(path);
    MemoryDevice device(image, manifest.sectorSize);
    CRawFileAnalyserListSingle::CreateInstance()->ReinitAnalyzeList(nullptr);
    int measured = 0;
    for (const PhotoEntry& entry : manifest.entries) {
        SCOPED_TRACE(entry.extension + " at " + std::to_string(entry.start));
        const size_t at = size_t(entry.start) * manifest.sectorSize;
        std::vector<uint8_t> sector(image.begin() + long(at), image.begin() + long(at) + 4096);
        CRawFileInfo probe;
        IRawFileAnalyser* analyser = Recognise(sector.data(), probe);
        if (dynamic_cast<BruteForce::TiffAnalyzer*>(analyser) == nullptr)
            continue;
        std::unique_ptr<CRawFileInfo> record(analyser->CreateRawFileInfo());
        record->fileType = probe.fileType;
        record->startSector = entry.start;
        record->analyser = analyser;
        record->WillBeRemove(nullptr, -1);
        ASSERT_NE(record->analyser, analyser);
        EXPECT_EQ(record->analyser->GetRawFileSize(*record, &device), 1u);
        EXPECT_EQ(record->size, entry.length);
        EXPECT_EQ(g_s_strFileExtName[record->fileType], entry.extension);
        ++measured;
    }
    EXPECT_GT(measured, 0);
}

INSTANTIATE_TEST_SUITE_P(Layouts, PhotoImages, ::testing::Values("photo_512", "photo_4096"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
