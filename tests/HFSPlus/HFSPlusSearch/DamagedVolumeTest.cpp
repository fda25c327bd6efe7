// Random damage to the volume header, the catalog's nodes and the journal:
// every scan ends, with or without files, and nothing is read out of bounds.

#include <gtest/gtest.h>

#include <random>

#include "HFSPlusQuickSearcher.h"
#include "HFSPlusTestTrees.h"

using namespace harbex::test;

namespace {

struct Region {
    uint64_t first;
    uint64_t length;
};

void Scramble(Bytes& image, const Region& region, std::mt19937& random, int bytes) {
    std::uniform_int_distribution<uint64_t> at(region.first, region.first + region.length - 1);
    std::uniform_int_distribution<int> value(0, 255);
    for (int i = 0; i < bytes; ++i)
        image[at(random)] = static_cast<uint8_t>(value(random));
}

}  // namespace

TEST(HFSPlusDamagedVolumes, EveryScanEnds) {
    for (const char* name : {"hfsplus_journaled", "hfsplus_512"}) {
        const Bytes& original = HFSPlusImage(name);
        const uint32_t blockSize = GetBE32(original, 1024 + 40);
        const ForkPlace catalog = ForkOf(original, 272);
        std::vector<Region> regions = {{1024, 512},
                                       {catalog.firstByte, uint64_t{catalog.blocks} * blockSize}};
        if (GetBE32(original, 1024 + 12) != 0) {
            const uint64_t info = uint64_t{GetBE32(original, 1024 + 12)} * blockSize;
            const uint64_t journal = uint64_t{GetBE32(original, info + 40)};
            regions.push_back({info, 512});
            regions.push_back({journal, 8192 + 512});
        }
        for (unsigned seed = 1; seed <= 40; ++seed) {
            SCOPED_TRACE(std::string(name) + " seed " + std::to_string(seed));
            std::mt19937 random(seed);
            Bytes image = original;
            for (const Region& region : regions)
                Scramble(image, region, random, 1 + static_cast<int>(seed % 24));
            HFSPlusMemoryDevice device(image, 512);
            CHFSPlusQuickFileSystemSearchController searcher;
            RecordingBuilder builder;
            CountingSink sink;
            searcher.SetDirecotryTreeBuilder(&builder);
            searcher.QuickSearchFiles(&device, &sink);
            ASSERT_FALSE(sink.records.empty());
            EXPECT_EQ(sink.records.back().state, PROGRESS_STATE_FINISHED);
        }
    }
}
