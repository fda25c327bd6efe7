// The open volume: byte reads on any sector size, fork readers with overflow
// extents, file nodes from catalog records, and the quick listing.

#include <gtest/gtest.h>

#include <cstring>

#include "DataRunList.h"
#include "HFSPlusBTreeOptions.h"
#include "HFSPlusFileNode.h"
#include "HFSPlusProgress.h"
#include "HFSPlusRawfile.h"
#include "HFSPlusTestTrees.h"
#include "HFSPlusVolume.h"

using namespace harbex::test;

namespace {

constexpr uint32_t kFileId = 77;

// A data fork of eight one-block extents and `total` blocks in all.
HFSPlusForkData EightExtentFork(uint32_t total) {
    HFSPlusForkData fork{};
    fork.totalBlocks = total;
    fork.logicalSize = uint64_t{total} * 512;
    for (uint32_t i = 0; i < 8; ++i)
        fork.extents[i] = {10 + 2 * i, 1};
    return fork;
}

std::vector<DataRun> Runs(IDataRunList* list) {
    std::vector<DataRun> runs;
    for (DataRun* run = list ? list->GetFirst() : nullptr; run; run = list->GetNext())
        runs.push_back(*run);
    return runs;
}

// A converted catalog key and file record for `fork`.
struct FileRecord {
    HFSPlusCatalogKey key{};
    HFSPlusCatalogFile file{};
    FileRecord(uint32_t id, const HFSPlusForkData& fork) {
        key.keyLength = 6 + 2;
        key.parentID = 2;
        key.nodeName.length = 1;
        key.nodeName.unicode[0] = 'f';
        file.recordType = kHFSPlusFileRecord;
        file.fileID = id;
        file.createDate = 1;
        file.dataFork = fork;
    }
    const BTKey* Key() const { return reinterpret_cast<const BTKey*>(&key); }
    const HFSPlusCatalogRecord* Record() const {
        return reinterpret_cast<const HFSPlusCatalogRecord*>(&file);
    }
};

}  // namespace

TEST(VolumeRead, AnyRangeOnAnySectorSize) {
    const Bytes& image = HFSPlusImage("hfsplus_2048");
    // Sectors larger than any fixed bounce buffer.
    for (uint32_t sectorSize : {512u, 4096u, 16384u}) {
        SCOPED_TRACE(sectorSize);
        HFSPlusMemoryDevice device(image, sectorSize);
        CHFSPlusVolume volume(&device, false);
        ASSERT_EQ(volume.GetLastError(), 0u);
        for (const auto& [offset, length] : std::vector<std::pair<uint64_t, uint64_t>>{
                 {0, 1}, {1023, 3}, {511, 40000}, {12345, 0}}) {
            Bytes got(length + 1, 0xEE);
            EXPECT_EQ(volume.Read(offset, got.data(), length), length);
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + length, image.begin() + offset));
            EXPECT_EQ(got[length], 0xEE);
        }
        RecordingBuilder builder;
        CHFSPlusQuickFileSystemSearchProgress progress(nullptr, true);
        EXPECT_EQ(volume.QuickSearchFiles(&builder, &progress), 0u);
        EXPECT_EQ(builder.nodes.size(), 1507u + 6u + 1u);  // files, folders, the root
    }
}

TEST(VolumeRead, ShortDeviceReadsAnswerWhatWasRead) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_512"), 512);
    CHFSPlusVolume volume(&device, false);
    device.failFrom = 10;
    Bytes got(4096);
    EXPECT_EQ(volume.Read(512 * 8 + 100, got.data(), 4096), 412u);
    EXPECT_TRUE(IsFailure(volume.GetLastError()));
}

TEST(ForkReader, OverflowExtentsCompleteTheFork) {
    Bytes image = HFSPlusImage("hfsplus_512");
    InstallExtentsLeaf(image, {ExtentsRecord(0, kFileId, 8, {{40, 3}, {50, 3}, {60, 3}, {70, 3}})});
    HFSPlusMemoryDevice device(image, 512);
    CHFSPlusVolume volume(&device, false);
    ASSERT_EQ(volume.GetLastError(), 0u);
    const HFSPlusForkData fork = EightExtentFork(20);
    CHFSPlusRawfile file(&volume, kFileId, fork);
    EXPECT_EQ(file.GetLastError(), 0u);
    EXPECT_EQ(file.GetListedBytes(), 20u * 512);
    // Bytes 8 x 512 on lie in block 40 of the volume.
    Bytes got(700);
    EXPECT_EQ(file.Read(8 * 512 - 100, got.data(), got.size()), got.size());
    EXPECT_TRUE(std::equal(got.begin() + 100, got.end(), image.begin() + 40 * 512));
    EXPECT_EQ(volume.IsBelongToFile(kFileId, fork, 71 * 512), 1);
    EXPECT_EQ(volume.IsBelongToFile(kFileId, fork, 80 * 512), 0);

    FileRecord record(kFileId, fork);
    CHFSPlusFileNode node(&volume, record.Key(), record.Record(), 0);
    EXPECT_EQ(Runs(node.GetDataRunList()).size(), 12u);
}

TEST(ForkReader, AnOverflowRecordAddingNoBlocksEndsTheLookups) {
    Bytes image = HFSPlusImage("hfsplus_512");
    InstallExtentsLeaf(image, {ExtentsRecord(0, kFileId, 8, {})});
    HFSPlusMemoryDevice device(image, 512);
    CHFSPlusVolume volume(&device, false);
    ASSERT_EQ(volume.GetLastError(), 0u);
    const HFSPlusForkData fork = EightExtentFork(20);
    CHFSPlusRawfile file(&volume, kFileId, fork);
    EXPECT_TRUE(IsFailure(file.GetLastError()));
    EXPECT_EQ(volume.IsBelongToFile(kFileId, fork, 99 * 512), 0);
    FileRecord record(kFileId, fork);
    CHFSPlusFileNode node(&volume, record.Key(), record.Record(), 0);
    EXPECT_EQ(Runs(node.GetDataRunList()).size(), 8u);
}

TEST(ForkReader, JournalKeptOverflowRecordsStandInForDeletedOnes) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_512"), 512);
    CHFSPlusVolume volume(&device, false);
    HFSPlusDeletedRecord kept;
    kept.key.reset(new unsigned char[sizeof(HFSPlusExtentKey)]);
    const HFSPlusExtentKey key{10, kHFSDataForkType, 0, kFileId, 8};
    std::memcpy(kept.key.get(), &key, sizeof(key));
    kept.record.reset(new unsigned char[sizeof(HFSPlusExtentRecord)]());
    HFSPlusExtentRecord extents{};
    extents[0] = {90, 12};
    std::memcpy(kept.record.get(), extents, sizeof(extents));
    volume.DeletedExtents().push_front(std::move(kept));

    FileRecord record(kFileId, EightExtentFork(20));
    CHFSPlusFileNode node(&volume, record.Key(), record.Record(), 1);
    const std::vector<DataRun> runs = Runs(node.GetDataRunList());
    ASSERT_EQ(runs.size(), 9u);
    EXPECT_EQ(runs.back().firstCluster, 90);
    EXPECT_EQ(runs.back().clusterCount, 12u);
}

TEST(FileNodes, TakeWhatTheirRecordSays) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_512"), 512);
    CHFSPlusVolume volume(&device, false);

    // A file without logical size: its blocks times the volume's block size.
    HFSPlusForkData threeBlocks{};
    threeBlocks.totalBlocks = 3;
    threeBlocks.extents[0] = {20, 3};
    FileRecord sized(30, threeBlocks);
    sized.file.contentModDate = 1;
    CHFSPlusFileNode file(&volume, sized.Key(), sized.Record(), 1);
    EXPECT_EQ(file.GetFileSize(), 3 * 512);
    EXPECT_EQ(file.GetCurrentNodeID(), 30);
    EXPECT_EQ(file.GetParentNodeID(), 2);
    EXPECT_STREQ(file.GetFileName(), "f");
    EXPECT_EQ(file.GetModificationTime(), 95616288010000000ull);
    EXPECT_TRUE(file.IsDeleted());
    EXPECT_FALSE(file.IsDirectory());

    FileRecord alias(31, threeBlocks);
    alias.file.userInfo.fileType = 0x66647270;
    EXPECT_TRUE(CHFSPlusFileNode(&volume, alias.Key(), alias.Record(), 0).IsDirectory());

    HFSPlusCatalogFolder folder{};
    folder.recordType = kHFSPlusFolderRecord;
    folder.folderID = kHFSRootFolderID;
    const auto* asRecord = reinterpret_cast<const HFSPlusCatalogRecord*>(&folder);
    CHFSPlusFileNode root(&volume, sized.Key(), asRecord, 1);
    EXPECT_EQ(root.GetCurrentNodeID(), 2);
    EXPECT_FALSE(root.IsDeleted());
    folder.folderID = kHFSRootParentID;
    EXPECT_EQ(CHFSPlusFileNode(&volume, sized.Key(), asRecord, 0).GetCurrentNodeID(), -1);
}

TEST(DamagedTrees, ABadExtentsTreeHeaderCostsOnlyTheFilesNeedingOverflowExtents) {
    Bytes image = HFSPlusImage("hfsplus_512");
    InstallExtentsLeaf(image, {ExtentsRecord(0, kFileId, 8, {{40, 3}, {50, 3}, {60, 3}, {70, 3}})});
    const ForkPlace extents = ForkOf(image, 192);
    image[extents.firstByte + 8] = 0;  // the header node's kind
    HFSPlusMemoryDevice device(image, 512);
    CHFSPlusVolume volume(&device, false);
    ASSERT_EQ(volume.GetLastError(), 0u);
    EXPECT_EQ(volume.GetDamagedTrees(), CHFSPlusVolume::kExtentsTreeDamaged);
    // The fork stops where the overflow extents would have gone on: a short read.
    FileRecord record(kFileId, EightExtentFork(20));
    CHFSPlusFileNode node(&volume, record.Key(), record.Record(), 0);
    EXPECT_EQ(Runs(node.GetDataRunList()).size(), 8u);
}

TEST(DamagedTrees, TheCatalogAnswersThroughItsLeafLinksOrSaysItCannot) {
    const uint32_t rootFolderId = 2;
    const uint32_t unusedId = 0x7FFFFFF0;
    struct Case {
        const char* image;
        bool firstLeafZeroed;
        CHFSPlusVolume::CatalogAnswer root;
        CHFSPlusVolume::CatalogAnswer unused;
    };
    using Answer = CHFSPlusVolume::CatalogAnswer;
    for (const Case& c : {Case{"hfsplus_index_damaged", false, Answer::kLive, Answer::kGone},
                          Case{"hfsplus_index_damaged", true, Answer::kUnknown, Answer::kUnknown},
                          Case{"hfsplus_512", false, Answer::kLive, Answer::kGone}}) {
        SCOPED_TRACE(std::string(c.image) + (c.firstLeafZeroed ? " without first leaf" : ""));
        Bytes image = HFSPlusImage(c.image);
        ASSERT_FALSE(image.empty());
        if (c.firstLeafZeroed) {
            const ForkPlace catalog = ForkOf(image, 272);
            const uint16_t nodeSize = static_cast<uint16_t>(image[catalog.firstByte + 32] << 8 |
                                                            image[catalog.firstByte + 33]);
            const uint32_t firstLeaf = GetBE32(image, catalog.firstByte + 24);
            std::fill_n(image.begin() + catalog.firstByte + uint64_t{firstLeaf} * nodeSize,
                        nodeSize, 0);
        }
        HFSPlusMemoryDevice device(image, 512);
        CHFSPlusVolume volume(&device, false);
        ASSERT_EQ(volume.GetLastError(), 0u);
        EXPECT_EQ(volume.FindCatalogId(rootFolderId), c.root);
        EXPECT_EQ(volume.FindCatalogId(unusedId), c.unused);
    }
}
