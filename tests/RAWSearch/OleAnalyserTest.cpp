// The compound-file analyser: typing by directory names, the summary
// properties, and sizes from the allocation table, measured on the device
// and while the scan streams past, in 512 and 4096-byte sectors.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "FileOLEAnalyser.h"
#include "OleSummary.h"
#include "RawTestSupport.h"

using namespace harbex::test;

namespace {

constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;

void PutLE32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k)
        bytes[at + size_t(k)] = uint8_t(value >> (8 * k));
}

// A directory of entries with the given names (UTF-16, as stored).
std::vector<uint8_t> DirectoryOf(const std::vector<std::string>& names, size_t bytes) {
    std::vector<uint8_t> directory(bytes, 0);
    for (size_t i = 0; i < names.size() && (i + 1) * 128 <= bytes; ++i) {
        for (size_t k = 0; k < names[i].size(); ++k)
            directory[i * 128 + 2 * k] = uint8_t(names[i][k]);
        directory[i * 128 + 64] = uint8_t(2 * (names[i].size() + 1));
        directory[i * 128 + 66] = i == 0 ? 5 : 2;
    }
    return directory;
}

// A compound file of `sectors` sectors after its header, every one in use:
// data first, then the FAT (with DIFAT sectors after the first 109 FAT
// sectors when it needs them) and the directory last, as writers that save
// the tables at the end lay it out.
struct Compound {
    uint32_t sectorBytes;
    std::vector<uint8_t> bytes;

    uint8_t* Sector(uint32_t number) { return bytes.data() + (size_t(number) + 1) * sectorBytes; }
};

Compound MakeCompound(uint32_t sectorBytes, uint32_t sectors,
                      const std::vector<std::string>& names) {
    Compound file{sectorBytes, std::vector<uint8_t>((size_t(sectors) + 1) * sectorBytes, 0x5A)};
    std::vector<uint8_t>& b = file.bytes;
    std::fill(b.begin(), b.begin() + sectorBytes, 0);
    const uint32_t entries = sectorBytes / 4;
    // FAT sectors cover every sector; DIFAT sectors list FAT sectors past 109.
    uint32_t fatCount = 1;
    uint32_t difatCount = 0;
    while (uint64_t{fatCount} * entries < sectors) {
        ++fatCount;
        difatCount = fatCount > 109 ? (fatCount - 109 + entries - 2) / (entries - 1) : 0;
    }
    const uint32_t first = sectors - fatCount - difatCount - 1;
    std::vector<uint32_t> fat;
    std::vector<uint32_t> difat;
    uint32_t next = first;
    for (uint32_t i = 0; i < std::min(fatCount, 109u); ++i)
        fat.push_back(next++);
    for (uint32_t i = 0; i < difatCount; ++i)
        difat.push_back(next++);
    while (fat.size() < fatCount)
        fat.push_back(next++);
    const uint32_t directory = next;

    const uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(signature, signature + 8, b.begin());
    b[24] = 0x3E;
    b[26] = sectorBytes == 4096 ? 4 : 3;
    b[28] = 0xFE;
    b[29] = 0xFF;
    b[30] = sectorBytes == 4096 ? 12 : 9;
    b[32] = 6;
    PutLE32(b, 44, fatCount);
    PutLE32(b, 48, directory);
    PutLE32(b, 56, 4096);
    PutLE32(b, 60, kEndOfChain);
    PutLE32(b, 68, difat.empty() ? kEndOfChain : difat[0]);
    PutLE32(b, 72, uint32_t(difat.size()));
    for (uint32_t i = 0; i < 109; ++i)
        PutLE32(b, 76 + 4 * i, i < fat.size() ? fat[i] : kFree);
    for (size_t d = 0; d < difat.size(); ++d) {
        const size_t at = (size_t(difat[d]) + 1) * sectorBytes;
        for (uint32_t i = 0; i + 1 < entries; ++i) {
            const size_t index = 109 + d * (entries - 1) + i;
            PutLE32(b, at + 4 * i, index < fat.size() ? fat[index] : kFree);
        }
        PutLE32(b, at + 4 * (entries - 1), d + 1 < difat.size() ? difat[d + 1] : kEndOfChain);
    }
    for (uint32_t s = 0; s < fatCount * entries; ++s) {
        const size_t at = (size_t(fat[s / entries]) + 1) * sectorBytes + 4 * (s % entries);
        PutLE32(b, at, s < sectors ? kEndOfChain : kFree);
    }
    const auto entriesBytes = DirectoryOf(names, sectorBytes);
    std::copy(entriesBytes.begin(), entriesBytes.end(), file.Sector(directory));
    return file;
}

std::string Ext(const CRawFileInfo& info) {
    return g_s_strFileExtName[info.fileType];
}

// A SummaryInformation property set with an 8-bit title, the authors and a
// last saved time.
std::vector<uint8_t> SummaryOf(const std::string& title, uint64_t lastSaved) {
    std::vector<uint8_t> set(48, 0);
    set[0] = 0xFE;
    set[1] = 0xFF;
    set[24] = 1;
    const uint8_t format[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
    std::copy(format, format + 16, set.begin() + 28);
    set[44] = 48;
    std::vector<uint8_t> values;
    std::vector<std::pair<uint32_t, uint32_t>> index;
    const uint32_t valuesStart = 8 + 4 * 8;
    auto text = [&](uint32_t id, const std::string& value) {
        index.push_back({id, valuesStart + uint32_t(values.size())});
        PutLE(values, 30, 4);
        PutLE(values, value.size() + 1, 4);
        values.insert(values.end(), value.begin(), value.end());
        values.push_back(0);
        while (values.size() % 4)
            values.push_back(0);
    };
    text(2, title);
    text(4, "Ann Walker");
    text(8, "Bob Stone");
    index.push_back({13, valuesStart + uint32_t(values.size())});
    PutLE(values, 64, 4);
    PutLE(values, lastSaved, 8);
    std::vector<uint8_t> section;
    PutLE(section, 8 + index.size() * 8 + values.size(), 4);
    PutLE(section, index.size(), 4);
    for (const auto& [id, offset] : index) {
        PutLE(section, id, 4);
        PutLE(section, offset, 4);
    }
    section.insert(section.end(), values.begin(), values.end());
    set.insert(set.end(), section.begin(), section.end());
    return set;
}

// 2024-04-06 11:22:33 UTC as a file time.
constexpr uint64_t kSaved = (1712402553ULL + 11644473600ULL) * 10000000ULL;

}  // namespace

TEST(OleTyping, TheFirstDirectoryEntriesDecideTheType) {
    struct Case {
        std::vector<std::string> names;
        const char* type;
    };
    const Case cases[] = {
        {{"Root Entry",
          "\x01"
          "CompObj",
          "1Table", "WordDocument"},
         "DOC"},
        {{"Root Entry", "Workbook", "\x01Ole", "WordDocument"}, "XLS"},
        // Entries in the order one writer saves a presentation.
        {{"Root Entry",
          "\x01"
          "CompObj",
          "\x01Ole", "Current User", "Pictures", "PowerPoint Document"},
         "PPT"},
        {{"Root Entry", "VisioDocument"}, "VSD"},
        {{"Root Entry", "PerfectOffice_MAIN", "PerfectOffice_OBJECTS", "\x05SummaryInformation"},
         "SHW"},
        {{"Root Entry", "Contents", "Other"}, "MOF"},
    };
    for (const Case& c : cases) {
        const auto directory = DirectoryOf(c.names, 1024);
        CRawFileInfo info;
        FileOLEAnalyser::CheckSectDirData(directory.data(), directory.size(), info);
        EXPECT_EQ(Ext(info), c.type) << c.names[1];
    }
}

TEST(OleSummary, ReadsTextsCutsLongOnesAndConvertsOtherCharsets) {
    struct Case {
        std::string title;
        std::string expected;
    };
    const Case cases[] = {
        {"Quarterly Report", "Quarterly Report"},
        {"   Leading blanks", "Leading blanks"},
        {"A title of exactly thirty bytes", "A title of exactly thirt"},
        {"\xC4\xE3\xBA\xC3", "\xE4\xBD\xA0\xE5\xA5\xBD"},  // GBK, not UTF-8
    };
    for (const Case& c : cases) {
        const auto set = SummaryOf(c.title, kSaved);
        FileProperty property;
        CSummaryInFormation summary;
        ASSERT_TRUE(summary.GetFileInformation(set.data(), property, uint32_t(set.size())));
        EXPECT_EQ(property.title, c.expected);
        EXPECT_EQ(property.creator, "Ann Walker");
        EXPECT_EQ(property.author, "Bob Stone");
        EXPECT_EQ(property.modified, "2024-04-06-11-22-33");
    }
}

TEST(OleSummary, RefusesOtherSetsAndValuesOutsideTheStream) {
    auto set = SummaryOf("Quarterly Report", kSaved);
    FileProperty property;
    CSummaryInFormation summary;
    // Cut inside the first value: only what lies within the bytes counts.
    EXPECT_FALSE(summary.GetFileInformation(set.data(), property, 48 + 8 + 32 + 10));
    // The document summary set uses the same identifiers for other things.
    set[28] = 0x02;
    EXPECT_FALSE(summary.GetFileInformation(set.data(), property, uint32_t(set.size())));
    EXPECT_TRUE(property.title.empty());
}

TEST(OleDeviceWalk, SizeComesFromTheLastUsedFatEntryAndIncludesTheHeader) {
    const std::vector<std::string> word = {"Root Entry",
                                           "\x01"
                                           "CompObj",
                                           "WordDocument"};
    struct Case {
        uint32_t sectorBytes;  // of the compound file
        uint32_t deviceSector;
    };
    for (const Case c : {Case{512, 512}, Case{512, 4096}, Case{4096, 512}, Case{4096, 4096}}) {
        SCOPED_TRACE(std::to_string(c.sectorBytes) + " in " + std::to_string(c.deviceSector));
        // Ten sectors: the last used FAT entry is index 9.
        const Compound file = MakeCompound(c.sectorBytes, 10, word);
        MemoryDevice device(
            RandomImage(c.deviceSector, 64 + uint32_t(file.bytes.size() / c.deviceSector),
                        {{2, file.bytes}}),
            c.deviceSector);
        FileOLEAnalyser analyser;
        CRawFileInfo info;
        info.startSector = 2;
        ASSERT_EQ(analyser.GetRawFileSize(info, &device), 1u);
        EXPECT_EQ(info.size, int64_t(file.bytes.size()));
        EXPECT_EQ(Ext(info), "DOC");
    }
}

TEST(OleDeviceWalk, FourKiBSectorDifatAndSizesPastFourGiB) {
    // Only the header, the DIFAT sector, the last FAT sector and the
    // directory are read; the sizes they imply pass 4 GiB.
    const uint32_t sector = 4096;
    std::vector<uint8_t> bytes(size_t(1200) * sector, 0);
    Compound small = MakeCompound(sector, 10, {"Root Entry", "Workbook"});
    std::copy(small.bytes.begin(), small.bytes.begin() + sector, bytes.begin());
    auto put = [&](uint32_t number, uint32_t index, uint32_t value) {
        PutLE32(bytes, (size_t(number) + 1) * sector + 4 * index, value);
    };
    for (uint32_t i = 0; i < 109; ++i)
        PutLE32(bytes, 76 + 4 * i, 1 + i);
    PutLE32(bytes, 68, 110);
    for (uint32_t i = 0; i < 1023; ++i)
        put(110, i, i < 1000 ? 111 + i : kFree);
    put(110, 1023, kEndOfChain);
    for (uint32_t i = 0; i < 1024; ++i)
        put(1110, i, i < 6 ? kEndOfChain : kFree);
    PutLE32(bytes, 48, 0);
    const auto directory = DirectoryOf({"Root Entry", "Workbook"}, sector);
    std::copy(directory.begin(), directory.end(), bytes.begin() + sector);

    MemoryDevice device(bytes, sector);
    FileOLEAnalyser analyser;
    CRawFileInfo info;
    ASSERT_EQ(analyser.GetRawFileSize(info, &device), 1u);
    EXPECT_EQ(info.size, int64_t((1108ULL * 1024 + 6 + 1) * sector));
    EXPECT_EQ(Ext(info), "XLS");
}

TEST(OleDeviceWalk, DamagedTablesFailCleanly) {
    const Compound good = MakeCompound(512, 10, {"Root Entry", "WordDocument"});
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
    };
    const Case cases[] = {
        {"no FAT sector listed", 76, kFree},
        {"a FAT sector past the device", 76, 0x00FFFFFF},
        {"a DIFAT sector past the device", 68, 0x00FFFFF0},
    };
    for (const Case& c : cases) {
        Compound file = good;
        PutLE32(file.bytes, c.at, c.value);
        MemoryDevice device(file.bytes, 512);
        FileOLEAnalyser analyser;
        CRawFileInfo info;
        EXPECT_EQ(analyser.GetRawFileSize(info, &device), 0u) << c.what;
        EXPECT_EQ(info.size, 0) << c.what;
    }
}

class OleStreaming : public ::testing::TestWithParam<uint32_t> {};

TEST_P(OleStreaming, CarvesWholeTypesAndNamesFromTheSummary) {
    const uint32_t sector = GetParam();
    Compound file = MakeCompound(512, 40,
                                 {"Root Entry",
                                  "\x01"
                                  "CompObj",
                                  "1Table", "WordDocument"});
    // The summary is small, so it sits in the mini stream at a 64-byte step.
    const auto summary = SummaryOf("Quarterly Report", kSaved);
    std::copy(summary.begin(), summary.end(), file.Sector(2) + 192);
    const auto carved = CarveImage(RandomImage(sector, 64, {{3, file.bytes}}), sector);
    const auto found = carved.find(3);
    ASSERT_NE(found, carved.end());
    EXPECT_EQ(found->second.size, int64_t(file.bytes.size()));
    EXPECT_EQ(found->second.name, "Bob Stone_Quarterly Report_2024-04-06-11-22-33000.DOC");
    EXPECT_EQ(found->second.folder, "Bob Stone");
}

TEST_P(OleStreaming, FatSectorsBeforeTheDifatCountToo) {
    const uint32_t sector = GetParam();
    // 110 FAT sectors: the first 109 stream past before the DIFAT sector
    // that lists the last one.
    const Compound file = MakeCompound(512, 109 * 128 + 10, {"Root Entry", "Workbook"});
    const auto carved =
        CarveImage(RandomImage(sector, uint32_t(8 << 20) / sector, {{1, file.bytes}}), sector);
    const auto found = carved.find(1);
    ASSERT_NE(found, carved.end());
    EXPECT_EQ(found->second.size, int64_t(file.bytes.size()));
    EXPECT_EQ(found->second.name.substr(found->second.name.size() - 3), "XLS");
    // Named by its sector range: the stream measured it, not the device walk.
    EXPECT_EQ(found->second.name.rfind("1-", 0), 0u) << found->second.name;
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, OleStreaming, ::testing::Values(512u, 4096u));
