// Real files of the header and streaming formats laid into layout images
// (tests/fixtures/raw): each is carved to the byte with its type, while the
// scan streams past it, and measured alike on the device when the stream
// hands it over.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#include "FileNode.h"
#include "RAWSearchController.h"
#include "RawTestSupport.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

struct Entry {
    std::string type;
    int64_t start = 0;
    int64_t length = 0;
};

struct Layout {
    uint32_t sectorSize = 0;
    std::vector<Entry> entries;
    std::vector<uint8_t> image;
};

Layout Load(const std::string& name) {
    Layout layout;
    std::ifstream in(FixturePath("raw/" + name + ".manifest"));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (first == "#sector_size") {
            fields >> layout.sectorSize;
        } else if (!first.empty() && first[0] != '#') {
            Entry entry{first};
            fields >> entry.start >> entry.length;
            layout.entries.push_back(entry);
        }
    }
    TempDir dir;
    const auto image = dir / "image.img";
    if (DecompressXz(FixturePath("raw/" + name + ".img.xz"), image))
        layout.image = ReadFile(image);
    return layout;
}

struct Carved {
    int64_t size;
    std::string name;
};

// start sector -> the carved file of the type tree starting there.
std::map<int64_t, Carved> Carve(const Layout& layout) {
    MemoryDevice device(layout.image, layout.sectorSize);
    RecordingBuilder builder;
    StoppingProgress progress;
    CRAWSearchController search;
    const int perBlock = int(0x100000 / layout.sectorSize);
    search.SetIProgressSink(&progress);
    search.SetDevice(&device);
    search.SetBlockSize(perBlock);
    search.SetDirecotryTreeBuilder(&builder);
    search.PreparetoSearch();
    const int64_t total = device.GetTotalSectors();
    for (int64_t first = 0; first < total; first += perBlock)
        search.AnalyzeBlock(first, std::min<int64_t>(perBlock, total - first));
    search.EndSearch(1);
    std::map<int64_t, Carved> carved;
    for (IFileNode* node : builder.Files(SEARCHER_RAW_BY_TYPE)) {
        auto* file = dynamic_cast<CFileNode*>(node);
        const int64_t start = file->GetDataRunList()->GetFirst()->firstCluster;
        carved.emplace(start, Carved{node->GetFileSize(), node->GetFileName()});
    }
    return carved;
}

std::string Extension(const std::string& name) {
    return name.substr(name.rfind('.') + 1);
}

class HeaderImages : public ::testing::TestWithParam<const char*> {};

}  // namespace

TEST_P(HeaderImages, EveryFileIsCarvedWholeWithItsType) {
    const Layout layout = Load(GetParam());
    ASSERT_FALSE(layout.entries.empty());
    ASSERT_FALSE(layout.image.empty());
    const auto carved = Carve(layout);
    for (const Entry& entry : layout.entries) {
        SCOPED_TRACE(entry.type + " at " + std::to_string(entry.start));
        const auto found = carved.find(entry.start);
        ASSERT_NE(found, carved.end());
        EXPECT_EQ(found->second.size, entry.length);
        EXPECT_EQ(Extension(found->second.name), entry.type);
    }
    // Anything else found lies inside one of the files (a member of an
    // archive, say): the random bytes around them give no false finds.
    for (const auto& [start, file] : carved) {
        const bool inside = std::any_of(layout.entries.begin(), layout.entries.end(), [&](auto& e) {
            return start >= e.start &&
                   start * layout.sectorSize < e.start * layout.sectorSize + e.length;
        });
        EXPECT_TRUE(inside) << file.name << " at " << start;
        // The member headers of an archive are not archives of their own.
        if (Extension(file.name) == "TAR") {
            EXPECT_TRUE(std::any_of(layout.entries.begin(), layout.entries.end(),
                                    [&](const Entry& e) { return e.start == start; }))
                << file.name << " at " << start;
        }
    }
}

// What the device walks give when the stream hands every record over at
// once, as when more records are open than the search keeps.
TEST_P(HeaderImages, HandedOverFilesAreMeasuredAlikeOnTheDevice) {
    const Layout layout = Load(GetParam());
    ASSERT_FALSE(layout.image.empty());
    MemoryDevice device(layout.image, layout.sectorSize);
    CRawFileAnalyserListSingle::CreateInstance()->ReinitAnalyzeList(nullptr);
    for (const Entry& entry : layout.entries) {
        SCOPED_TRACE(entry.type + " at " + std::to_string(entry.start));
        std::vector<uint8_t> sector(layout.image.begin() + entry.start * layout.sectorSize,
                                    layout.image.begin() + entry.start * layout.sectorSize + 4096);
        CRawFileInfo probe;
        IRawFileAnalyser* analyser = Recognise(sector.data(), probe);
        ASSERT_NE(analyser, nullptr);
        std::unique_ptr<CRawFileInfo> record(analyser->CreateRawFileInfo());
        record->fileType = probe.fileType;
        record->size = probe.size;
        record->startSector = entry.start;
        record->analyser = analyser;
        if (record->WhetherImplementGuess()) {
            record->WillBeRemove(nullptr, -1);
            if (record->analyser == nullptr)
                continue;  // no walk on the device for this format
            EXPECT_NE(record->analyser->GetRawFileSize(*record, &device), 0u);
        } else if (record->size == 0) {
            EXPECT_NE(analyser->GetRawFileSize(*record, &device), 0u);
        }
        EXPECT_EQ(record->size, entry.length);
        EXPECT_EQ(g_s_strFileExtName[record->fileType], entry.type);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, HeaderImages,
                         ::testing::Values("headers_512", "headers_4096", "samples_4096"),
                         [](const auto& info) { return std::string(info.param); });

// Damaged headers and files cut short by the device's end: every walk still
// ends, inside the device.
TEST(HeaderImagesDamaged, DamagedAndTruncatedFilesEndCleanly) {
    Layout layout = Load("headers_512");
    ASSERT_FALSE(layout.image.empty());
    std::mt19937 random(20261210);
    for (int round = 0; round < 3; ++round) {
        Layout damaged = layout;
        for (const Entry& entry : layout.entries) {
            const size_t at = size_t(entry.start) * layout.sectorSize;
            for (int k = 0; k < 12; ++k) {
                const size_t where = at + random() % std::min<size_t>(600, size_t(entry.length));
                damaged.image[where] = uint8_t(random());
            }
        }
        // Cut the image inside a file chosen per round.
        const Entry& cut = layout.entries[(round * 11) % layout.entries.size()];
        damaged.image.resize(size_t(cut.start) * layout.sectorSize +
                             size_t(cut.length) / 2 / 512 * 512 + 512);
        const int64_t end = int64_t(damaged.image.size());
        for (const auto& [start, file] : Carve(damaged))
            EXPECT_LE(start * layout.sectorSize + file.size, end) << file.name;
    }
}

// Headers whose length fields are damaged, and lures that carry a header's
// first bytes in random data: what is carved stays within a small multiple of
// the image, as each file is no longer than its own structures say.
TEST(HeaderImagesDamaged, DamagedHeadersClaimNoMoreThanTheImageHolds) {
    Layout layout = Load("headers_512");
    ASSERT_FALSE(layout.image.empty());
    const size_t sector = layout.sectorSize;
    std::mt19937 random(44);
    Layout damaged = layout;
    for (const Entry& entry : layout.entries) {
        const size_t at = size_t(entry.start) * sector;
        for (size_t k = 4; k < 64 && k < size_t(entry.length); ++k)
            damaged.image[at + k] = uint8_t(random());
        // Three lures: the header's first eight bytes, then random bytes.
        for (int lure = 0; lure < 3; ++lure) {
            std::vector<uint8_t> bytes(sector);
            for (uint8_t& byte : bytes)
                byte = uint8_t(random());
            std::copy_n(layout.image.begin() + long(at), 8, bytes.begin());
            damaged.image.insert(damaged.image.end(), bytes.begin(), bytes.end());
        }
    }
    int64_t total = 0;
    for (const auto& [start, file] : Carve(damaged))
        total += file.size;
    EXPECT_LE(total, 3 * int64_t(damaged.image.size()));
}
