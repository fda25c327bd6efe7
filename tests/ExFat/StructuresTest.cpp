// Boot sector, entry sets, names, times, the FAT window cache and extents.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ExFatBootSector.h"
#include "ExFatEntrySetParser.h"
#include "ExFatFatTable.h"
#include "ExFatPartition.h"
#include "ExFatTestSupport.h"
#include "ExFatTime.h"

namespace harbex::test {
namespace {

std::vector<uint8_t> ValidBootSector() {
    HandVolume volume(512, 8, 64);
    return std::vector<uint8_t>(volume.bytes().begin(), volume.bytes().begin() + 512);
}

struct BootCase {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    uint32_t deviceSectorSize;
};

TEST(ExFatBootSector, RefusesEachInconsistency) {
    const BootCase cases[] = {
        {"4096-byte sectors declared on a 512-byte device", [](auto& b) { b[108] = 12; }, 512},
        {"signature", [](auto& b) { b[511] = 0; }, 512},
        {"name", [](auto& b) { b[3] = 'N'; }, 512},
        {"byte in the zero area", [](auto& b) { b[40] = 1; }, 512},
        {"shifts add up beyond 32 MiB clusters", [](auto& b) { b[109] = 17; }, 512},
        {"three FATs", [](auto& b) { b[110] = 3; }, 512},
        {"root cluster 1", [](auto& b) { Put32(&b[96], 1); }, 512},
        {"FAT runs into the heap", [](auto& b) { Put32(&b[84], 9); }, 512},
        {"clusters beyond the volume", [](auto& b) { Put32(&b[92], 66); }, 512},
        {"no clusters", [](auto& b) { Put32(&b[92], 0); }, 512},
    };
    EXPECT_TRUE(CExFatDBR(ValidBootSector().data()).IsValid(512));
    for (const BootCase& c : cases) {
        std::vector<uint8_t> boot = ValidBootSector();
        c.damage(boot);
        EXPECT_FALSE(CExFatDBR(boot.data()).IsValid(c.deviceSectorSize)) << c.what;
    }
}

TEST(ExFatBootSector, ReadsGeometry) {
    const std::vector<uint8_t> boot = ValidBootSector();
    const CExFatDBR dbr(boot.data());
    EXPECT_EQ(dbr.GetSectorSize(), 512u);
    EXPECT_EQ(dbr.GetSectorsPerCluster(), 8u);
    EXPECT_EQ(dbr.GetVolumeLength(), 32u + 64 * 8);
    EXPECT_EQ(dbr.GetRootCluster(), 4u);
    EXPECT_EQ(dbr.GetFileSystemType(), FILE_SYSTEM_EXFAT);
}

// The records the parser completes from `entries`, fed in one buffer.
std::vector<_tagFileBaseInfo> Parse(const std::vector<Entry>& entries, bool* answer = nullptr) {
    CEFDTAnalyze parser;
    parser.PrepareAnayze(9, 12, 1 << 20);
    const std::vector<uint8_t> bytes = Flatten(entries);
    const bool result = parser.Analyze(bytes.data(), uint32_t(bytes.size()), 77);
    if (answer)
        *answer = result;
    return parser.Files();
}

std::vector<Entry> Join(std::initializer_list<std::vector<Entry>> parts) {
    std::vector<Entry> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(ExFatEntrySets, CompleteSetBecomesOneRecord) {
    const auto files = Parse(FileSet({"A file with a name of 31 chars", 5000, 9, false}));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, "A file with a name of 31 chars");
    EXPECT_EQ(files[0].dataLength, 5000);
    EXPECT_EQ(files[0].firstCluster, 9u);
    EXPECT_EQ(files[0].noFatChain, 0);
    EXPECT_EQ(files[0].inUse, 0x80);
    EXPECT_EQ(files[0].sector, 77);
    EXPECT_EQ(files[0].modificationTime, kStamp);
}

TEST(ExFatEntrySets, MalformedOrBrokenSetsYieldNothing) {
    struct Case {
        const char* what;
        std::function<std::vector<Entry>()> make;
        bool answer;
    };
    const Case cases[] = {
        {"19 secondaries",
         [] {
             auto set = FileSet({"x.txt", 1, 5});
             set[0][1] = 19;
             return set;
         },
         false},
        {"creation hour 24",
         [] {
             auto set = FileSet({"x.txt", 1, 5});
             Put32(&set[0][8], (kStamp & ~(31u << 11)) | (24u << 11));
             return set;
         },
         false},
        {"a gap between the names",
         [] {
             auto set = FileSet({"a name longer than fifteen", 1, 5});
             set.insert(set.begin() + 3, FileSet({"y", 1, 6})[1]);
             return set;
         },
         true},
        {"deleted and in-use entries mixed",
         [] {
             auto set = FileSet({"x.txt", 1, 5});
             set[1][0] = 0x40;
             return set;
         },
         true},
        {"a name entry with flags",
         [] {
             auto set = FileSet({"x.txt", 1, 5});
             set[2][1] = 1;
             return set;
         },
         false},
    };
    for (const Case& c : cases) {
        bool answer = !c.answer;
        EXPECT_TRUE(Parse(c.make(), &answer).empty()) << c.what;
        EXPECT_EQ(answer, c.answer) << c.what;
    }
}

TEST(ExFatEntrySets, DeletedSetIsRecordedNotInUse) {
    const auto files = Parse(FileSet({"gone.bin", 100, 7, true, false, true}));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].inUse, 0);
}

TEST(ExFatEntrySets, BenignEntriesDoNotEndTheFolder) {
    Entry guid = OneEntry(0xA0);
    Entry padding = OneEntry(0xA1);
    Entry vendor = OneEntry(0xE0);
    const auto files = Parse(Join({{OneEntry(0x81), OneEntry(0x82), guid, padding},
                                   FileSet({"before.txt", 1, 5}),
                                   {vendor, OneEntry(0xE1)},
                                   FileSet({"with vendor data.txt", 1, 6, true, false, false, 2}),
                                   FileSet({"after.txt", 1, 7})}));
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[1].name, "with vendor data.txt");
    EXPECT_EQ(files[2].name, "after.txt");
}

TEST(ExFatEntrySets, EndMarkAndUnknownCriticalEntriesEndTheFolder) {
    for (uint8_t type : {uint8_t(0x00), uint8_t(0x84), uint8_t(0x86)}) {
        bool answer = true;
        const auto files = Parse(Join({{OneEntry(type)}, FileSet({"behind.txt", 1, 5})}), &answer);
        EXPECT_FALSE(answer) << int(type);
        EXPECT_TRUE(files.empty()) << int(type);
    }
}

TEST(ExFatEntrySets, SetRunsOnIntoTheNextBuffer) {
    CEFDTAnalyze parser;
    parser.PrepareAnayze(9, 12, 1 << 20);
    const std::vector<uint8_t> bytes = Flatten(FileSet({"split across buffers.txt", 1, 5}));
    EXPECT_TRUE(parser.Analyze(bytes.data(), 64, 10));
    EXPECT_TRUE(parser.Files().empty());
    EXPECT_TRUE(parser.Analyze(bytes.data() + 64, uint32_t(bytes.size() - 64), 11));
    ASSERT_EQ(parser.Files().size(), 1u);
    EXPECT_EQ(parser.Files()[0].name, "split across buffers.txt");
    EXPECT_EQ(parser.Files()[0].sector, 10);
}

TEST(ExFatEntrySets, VolumeLabelCharacters) {
    auto label = [](std::initializer_list<uint16_t> characters) {
        Entry e = OneEntry(0x83, uint8_t(characters.size()));
        int i = 0;
        for (uint16_t c : characters)
            Put16(&e[2 + 2 * i++], c);
        return e;
    };
    bool answer = false;
    Parse({label({'A', 0x1A, 0x1F})}, &answer);
    EXPECT_TRUE(answer);
    Parse({label({'A', '?'})}, &answer);
    EXPECT_FALSE(answer);
}

TEST(ExFatNames, NonAsciiAndSurrogatePairsConvertToUtf8) {
    const std::u16string name = u"Ünïcödé 名前 \U0001F600";
    std::vector<uint8_t> units;
    for (char16_t c : name) {
        units.push_back(uint8_t(c));
        units.push_back(uint8_t(c >> 8));
    }
    units.resize(units.size() + 6, 0);
    CExFatNameConverter converter;
    EXPECT_EQ(converter.ToUtf8(units.data(), units.size() / 2), "Ünïcödé 名前 \xF0\x9F\x98\x80");
    EXPECT_FALSE(IsAllowedNameCharacter('?'));
    EXPECT_TRUE(IsAllowedNameCharacter(0xFF));  // ÿ is a letter in names
    EXPECT_FALSE(IsAllowedLabelCharacter(0xFF));
}

TEST(ExFatTime, StampsAreLocalTime) {
    ScopedTimeZone utc("UTC");
    // 2021-03-04 05:06:08 UTC.
    EXPECT_EQ(DosTime2FileTime(kStamp), (1614834368ull) * 10000000ull + 116444736000000000ull);
    ScopedTimeZone berlin("Europe/Berlin");
    EXPECT_EQ(DosTime2FileTime(kStamp),
              (1614834368ull - 3600) * 10000000ull + 116444736000000000ull);
}

TEST(ExFatFatTable, HoldsNineWindowsAndAnswersNoEntryOutsideTheFat) {
    // A FAT of 40 MiB would not fit a test; a device whose reads count works
    // as well: the FAT's sectors are zero except where set.
    const uint32_t fatSectors = 10 * 2048;
    std::vector<uint8_t> bytes(size_t(fatSectors + 16) * 512, 0);
    for (uint32_t w = 0; w < 10; ++w)
        Put32(&bytes[(8 + size_t(w) * 2048) * 512 + 4 * 3], 1000 + w);
    MemoryDevice device(std::move(bytes), 512);
    CFatTable table;
    table.CreateFatTable(&device, 8, fatSectors);
    ASSERT_TRUE(table.IsValid());
    for (uint32_t w = 0; w < 10; ++w)
        EXPECT_EQ(table.GetNextCluster(w * CFatTable::kEntriesPerWindow + 3), 1000 + w);
    EXPECT_EQ(table.WindowCount(), 9u);
    EXPECT_EQ(table.GetNextCluster(10 * CFatTable::kEntriesPerWindow), CFatTable::kNoEntry);
}

TEST(ExFatFatTable, ShortFatNearTheDeviceEndAndFailedReads) {
    HandVolume volume(512, 1, 64);
    volume.SetFat(5, 6);
    auto device = volume.Device();
    CFatTable table;
    table.CreateFatTable(device.get(), HandVolume::kFatOffset, HandVolume::kFatLength);
    EXPECT_EQ(table.GetNextCluster(5), 6u);
    device->unreadable.insert(HandVolume::kFatOffset);
    CFatTable unreadable;
    unreadable.CreateFatTable(device.get(), HandVolume::kFatOffset, HandVolume::kFatLength);
    EXPECT_FALSE(unreadable.IsValid());
    EXPECT_EQ(unreadable.GetNextCluster(5), CFatTable::kNoEntry);
}

struct RunCase {
    const char* what;
    _tagFileBaseInfo file;
    bool withFat;
    std::vector<std::pair<int64_t, uint64_t>> runs;
};

TEST(ExFatPartition, ExtentsOfFiles) {
    HandVolume volume(512, 1, 64);
    // A chain 10 -> 12 -> 13 -> end, and 20 -> end with a longer file.
    volume.SetFat(10, 12);
    volume.SetFat(12, 13);
    volume.SetFat(13, 0xFFFFFFFF);
    volume.SetFat(20, 0xFFFFFFFF);
    auto device = volume.Device();
    auto file = [](int64_t length, uint32_t cluster, bool contiguous, bool inUse, bool dir) {
        _tagFileBaseInfo f;
        f.dataLength = length;
        f.firstCluster = cluster;
        f.noFatChain = contiguous;
        f.inUse = inUse ? 0x80 : 0;
        f.attributes = dir ? 0x10 : 0x20;
        return f;
    };
    const RunCase cases[] = {
        {"1 byte at cluster 5 without chain", file(1, 5, true, true, false), true, {{3, 1}}},
        {"chained file follows the FAT",
         file(1536, 10, false, true, false),
         true,
         {{8, 1}, {10, 2}}},
        {"chain ends before the length", file(5000, 20, false, true, false), true, {{18, 1}}},
        {"folder has no extents", file(512, 10, false, true, true), true, {}},
        {"empty file has no extents", file(0, 0, true, true, false), true, {}},
        {"chained file without a FAT lies contiguously",
         file(1536, 10, false, true, false),
         false,
         {{8, 3}}},
        {"deleted file whose chain is gone keeps its first cluster without a bitmap",
         file(1536, 30, false, false, false),
         true,
         {{28, 1}}},
    };
    for (const RunCase& c : cases) {
        CExFatPartition partition;
        partition.bytesPerSector = 512;
        partition.sectorsPerCluster = 1;
        partition.bytesPerCluster = 512;
        partition.clusterBound = 66;
        partition.dataStartSector = HandVolume::kHeapOffset;
        if (c.withFat)
            partition.CreateFatTable(device.get(), HandVolume::kFatOffset, HandVolume::kFatLength);
        IDataRunList* list = partition.BuildFileDataRun(c.file);
        std::vector<std::pair<int64_t, uint64_t>> runs;
        for (DataRun* run = list->GetFirst(); run; run = list->GetNext())
            runs.emplace_back(run->firstCluster, run->clusterCount);
        list->Release();
        EXPECT_EQ(runs, c.runs) << c.what;
    }
}

struct GuessCase {
    const char* what;
    std::vector<uint32_t> inUse;                       // clusters the bitmap marks
    std::vector<std::pair<uint32_t, uint32_t>> chain;  // FAT entries left by the driver
    std::vector<uint32_t> otherStarts;                 // where other files begin
    std::vector<std::pair<int64_t, uint64_t>> runs;
};

// A deleted file of three clusters at cluster 30 whose chain may be gone.
TEST(ExFatPartition, DeletedClustersAreGuessedOverFreeClustersUpToAnotherFile) {
    const GuessCase cases[] = {
        {"clusters in use are skipped", {2, 31, 32}, {}, {}, {{28, 1}, {31, 2}}},
        {"another file's start ends the guess", {2, 31, 32}, {}, {34}, {{28, 1}, {31, 1}}},
        {"a chain left in the FAT is followed", {2}, {{30, 40}, {40, 41}}, {}, {{28, 1}, {38, 2}}},
        {"a chain cluster now in use ends it", {2, 40}, {{30, 40}}, {}, {{28, 1}}},
        // A deleted two-cluster file at 27 would run on into cluster 30: the
        // clusters after 30 may be its own.
        {"a start another guess runs into keeps its first cluster", {2}, {}, {27}, {{28, 1}}},
    };
    for (const GuessCase& c : cases) {
        HandVolume volume(512, 1, 64);
        for (const auto& [from, to] : c.chain)
            volume.SetFat(from, to);
        for (uint32_t cluster : c.inUse)
            volume.bytes()[volume.ClusterOffset(2) + (cluster - 2) / 8] |=
                uint8_t(1 << ((cluster - 2) % 8));
        auto device = volume.Device();
        CExFatPartition partition;
        partition.bytesPerSector = 512;
        partition.sectorsPerCluster = 1;
        partition.bytesPerCluster = 512;
        partition.clusterBound = 66;
        partition.dataStartSector = HandVolume::kHeapOffset;
        partition.CreateFatTable(device.get(), HandVolume::kFatOffset, HandVolume::kFatLength);
        ASSERT_TRUE(partition.LoadAllocationBitmap(device.get(), 2, 8));
        _tagFileBaseInfo file;
        file.dataLength = 1536;
        file.firstCluster = 30;
        _tagFileBaseInfo before;
        before.dataLength = 2048;
        before.firstCluster = 27;
        std::vector<uint32_t> starts = c.otherStarts;
        starts.push_back(file.firstCluster);
        std::vector<const _tagFileBaseInfo*> deleted{&file};
        if (std::find(starts.begin(), starts.end(), 27u) != starts.end())
            deleted.push_back(&before);
        partition.PrepareGuesses(starts, deleted);
        IDataRunList* list = partition.BuildFileDataRun(file);
        std::vector<std::pair<int64_t, uint64_t>> runs;
        for (DataRun* run = list->GetFirst(); run; run = list->GetNext())
            runs.emplace_back(run->firstCluster, run->clusterCount);
        list->Release();
        EXPECT_EQ(runs, c.runs) << c.what;
    }
}

TEST(ExFatPartition, ClusterArithmetic) {
    CExFatPartition partition;
    partition.sectorsPerCluster = 8;
    partition.dataStartSector = 1000;
    EXPECT_EQ(partition.ConvertClusterNumToSector(0), 0);
    EXPECT_EQ(partition.ConvertClusterNumToSector(1), 0);
    EXPECT_EQ(partition.ConvertClusterNumToSector(3), 1008);
    EXPECT_EQ(partition.ConvertSectorToClusterNum(1000), 2u);
    EXPECT_EQ(partition.ConvertSectorToClusterNum(1001), 3u);
}

TEST(ExFatFileNode, CopyKeepsTheDeletedStateAndExtents) {
    CExFatPartition partition;
    partition.bytesPerCluster = 512;
    _tagFileBaseInfo file;
    file.name = "copy me.txt";
    file.dataLength = 700;
    file.firstCluster = 9;
    file.noFatChain = 1;
    file.inUse = 0;
    CExFatFileNode* node = partition.BuildFile(file);
    node->SetBelongedPartition(3);
    CExFatFileNode* copy = node->Clone();
    EXPECT_TRUE(copy->IsDeleted());
    EXPECT_STREQ(copy->GetFileName(), "copy me.txt");
    EXPECT_EQ(copy->GetFileSize(), 700);
    EXPECT_EQ(copy->GetFirstCluster(), CExFatFileNode::kNoCluster);
    EXPECT_EQ(copy->GetBelongedPartition(), 3);
    ASSERT_NE(copy->GetDataRunList(), nullptr);
    EXPECT_EQ(copy->GetDataRunList()->GetFirst()->clusterCount, 2u);
    copy->Release();
    node->Release();
}

}  // namespace
}  // namespace harbex::test
