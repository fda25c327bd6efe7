#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <list>
#include <random>

#include "ImageDisk.h"
#include "PartitionTableAnalyze.h"
#include "TableImages.h"
#include "TestSupport.h"

// Randomly damaged copies of valid tables: every answer is a failure code or a
// list; MBR and GPT lists hold only partitions that lie inside the disk.
namespace {

using harbex::test::TempDir;
using tables::MbrSector;

constexpr uint64_t kDiskBytes = 32 << 20;
constexpr int64_t kDiskSectors = kDiskBytes / 512;
constexpr size_t kEdgeBytes = 64 * 512;  // the mutated head and tail of the disk
constexpr int kCopies = 300;

struct HotRange {
    uint64_t offset;  // in the image
    uint32_t length;
};

std::vector<uint8_t> ReadBytes(const std::filesystem::path& image, uint64_t offset, size_t size) {
    std::vector<uint8_t> bytes(size);
    std::ifstream file(image, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    return bytes;
}

void PutLE32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLE32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Recomputes the primary GPT checksums where the damaged header still allows,
// so that damage behind the checksums reaches the parser.
void RefreshGptChecksums(std::vector<uint8_t>& head) {
    uint8_t* header = head.data() + 512;
    const uint64_t arrayBytes = uint64_t{GetLE32(header + 80)} * GetLE32(header + 84);
    if (GetLE32(header + 72) == 2 && GetLE32(header + 76) == 0 &&
        arrayBytes <= head.size() - 1024) {
        PutLE32(header + 88,
                static_cast<uint32_t>(crc32(0, head.data() + 1024, static_cast<uInt>(arrayBytes))));
    }
    const uint32_t headerSize = GetLE32(header + 12);
    if (headerSize >= 92 && headerSize <= 512) {
        PutLE32(header + 16, 0);
        PutLE32(header + 16, static_cast<uint32_t>(crc32(0, header, headerSize)));
    }
}

class MutatedTables : public testing::Test {
protected:
    void SetUp() override { tables::MakeSparseImage(image_, kDiskBytes); }

    // Analyses `kCopies` damaged copies of the image's table, damage falling
    // inside `hot`, and checks every answer.
    void Mutate(const std::vector<HotRange>& hot, bool gpt, uint32_t seed) {
        const std::vector<uint8_t> head = ReadBytes(image_, 0, kEdgeBytes);
        const uint64_t tailOffset = kDiskBytes - kEdgeBytes;
        const std::vector<uint8_t> tail = ReadBytes(image_, tailOffset, kEdgeBytes);
        std::mt19937 random(seed);
        for (int copy = 0; copy < kCopies; ++copy) {
            SCOPED_TRACE(testing::Message() << "copy " << copy);
            std::vector<uint8_t> damagedHead = head;
            std::vector<uint8_t> damagedTail = tail;
            const int changes = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < changes; ++i) {
                const HotRange& range = hot[random() % hot.size()];
                const uint64_t at = range.offset + random() % range.length;
                const auto value = static_cast<uint8_t>(random());
                if (at < kEdgeBytes)
                    damagedHead[at] = value;
                else
                    damagedTail[at - tailOffset] = value;
            }
            if (gpt && random() % 2 == 0)
                RefreshGptChecksums(damagedHead);
            tables::WriteAt(image_, 0, damagedHead);
            tables::WriteAt(image_, tailOffset, damagedTail);
            CheckAnswer();
            if (HasFatalFailure() || HasNonfatalFailure())
                return;
        }
    }

    void CheckAnswer() {
        ImageDisk disk(image_, 512);
        std::list<PartitionEntry> partitions;
        RESULT_CODE code = CPartitionTableAnalyze().AnalyzePartitionTable(&disk, partitions);
        if (IsFailure(code) || !clippedToDisk_)
            return;
        for (const PartitionEntry& p : partitions) {
            EXPECT_GE(p.startSector, 0) << "#" << p.number;
            EXPECT_GE(p.sectorCount, 1) << "#" << p.number;
            EXPECT_LE(p.startSector + p.sectorCount, kDiskSectors) << "#" << p.number;
        }
    }

    size_t ListedCount() {
        ImageDisk disk(image_, 512);
        std::list<PartitionEntry> partitions;
        EXPECT_EQ(CPartitionTableAnalyze().AnalyzePartitionTable(&disk, partitions),
                  kResultSuccess);
        return partitions.size();
    }

    TempDir dir_;
    std::filesystem::path image_ = dir_ / "disk.img";
    bool clippedToDisk_ = true;
};

TEST_F(MutatedTables, MbrWithLogicalChain) {
    // Primary at 2048, extended container from sector 8 holding three records.
    tables::WriteAt(image_, 0, MbrSector({{0, 0x83, 2048, 4096}, {0, 0x05, 8, 60000}}));
    tables::WriteAt(image_, 8 * 512, MbrSector({{0, 0x83, 8192, 4096}, {0, 0x05, 8, 2}}));
    tables::WriteAt(image_, 16 * 512, MbrSector({{0, 0x07, 16384, 4096}, {0, 0x0F, 16, 2}}));
    tables::WriteAt(image_, 24 * 512, MbrSector({{0, 0x83, 24576, 4096}}));
    ASSERT_EQ(ListedCount(), 4u);
    std::vector<HotRange> hot;
    for (uint64_t sector : {0, 8, 16, 24})
        hot.push_back({sector * 512 + 446, 66});
    Mutate(hot, false, 11);
}

TEST_F(MutatedTables, Gpt) {
    if (!tables::RunSfdisk(image_.string(), "label: gpt\\nsize=10MiB\\nsize=9MiB\\n,\\n"))
        GTEST_SKIP() << "sfdisk cannot write the table";
    ASSERT_EQ(ListedCount(), 3u);
    const uint64_t backup = kDiskBytes - 512;
    Mutate({{446, 66}, {512, 92}, {1024, 3 * 128}, {backup, 92}}, true, 12);
}

TEST_F(MutatedTables, AppleMap) {
    tables::WriteApm(
        image_, 512,
        {{1, 63, "Apple_partition_map"}, {64, 20000, "Apple_HFS"}, {20064, 30000, "Apple_HFS"}}, 3);
    ASSERT_EQ(ListedCount(), 3u);
    clippedToDisk_ = false;  // map entries are listed as they stand
    Mutate({{0, 4}, {512, 16}, {1024, 16}, {1536, 16}}, false, 13);
}

}  // namespace
