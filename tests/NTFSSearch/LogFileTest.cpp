#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "ByteOrder.h"
#include "FindFileFromLogFile.h"
#include "MFTInfo.h"
#include "NTFSAttribute.h"
#include "NTFSDBR.h"
#include "NTFSFileProperties.h"
#include "NTFSFileRecord.h"
#include "NTFSLogPages.h"
#include "NTFSScanHarness.h"
#include "NTFSUpdateSequence.h"

using namespace harbex::test;

namespace {

NTFSGeometry Geometry(uint32_t clusterBytes = 4096, uint32_t sectorSize = 512) {
    NTFSGeometry g;
    g.deviceSectorSize = sectorSize;
    g.clusterBytes = clusterBytes;
    g.recordBytes = 1024;
    g.sectorsPerCluster = clusterBytes / sectorSize;
    g.sectorsPerRecord = 1024 / sectorSize;
    return g;
}

constexpr size_t kRunsOffset = 64;

// A deleted record (number 42) whose data attribute was cut to nothing.
std::vector<uint8_t> CutRecord(size_t& dataOffset) {
    NTFSRecordBuilder builder(1024, 0, 42);
    builder.AddStandardInformation(1, 2, 3, 0x20);
    builder.AddFileName(5, u"cut.bin");
    dataOffset = builder.AddNonResident(0x80, {0x00}, 0, -1, 0);
    return builder.Finish();
}

std::unique_ptr<CNTFSFileProperties> PropertiesOf(const std::vector<uint8_t>& record) {
    CNTFSMultiFileRecord view(record.data(), 1024, 500, nullptr, {});
    return std::unique_ptr<CNTFSFileProperties>(
        CNTFSFilePropertiesBuilder::BuildFileProperties(500, view, 4096, nullptr));
}

std::vector<DataRun> Extents(CNTFSFileProperties& properties) {
    std::vector<DataRun> extents;
    IDataRunList* list = properties.GetDataRunList();
    if (!list)
        return extents;
    for (DataRun* run = list->GetFirst(); run; run = list->GetNext())
        extents.push_back(*run);
    list->Release();
    return extents;
}

// A record of exactly `bytes` bytes that concerns no file.
std::vector<uint8_t> Filler(uint64_t lsn, size_t bytes) {
    return LogRecord(lsn, 0, 0, 0, 0, std::vector<uint8_t>(bytes - 88, 0), {});
}

// Record 42 lies at byte 42 x 1024 of the table: VCN 10, block 4 of 4 KiB clusters.
constexpr int64_t kVcn = 10;
constexpr uint16_t kBlock = 4;

}  // namespace

TEST(NTFSLog, RecordNumberFollowsTheGeometry) {
    struct Case {
        uint32_t clusterBytes, sectorSize;
        int64_t vcn;
        uint16_t block;
        int64_t number;
    } cases[] = {
        {4096, 512, 10, 4, 42}, {1024, 512, 10, 0, 10}, {4096, 4096, 10, 0, 40},
        {65536, 512, 1, 2, 65}, {512, 512, 7, 0, 3},
    };
    for (const Case& c : cases) {
        CFindFileFromLogFile finder;
        finder.AnalyzeLog({}, Geometry(c.clusterBytes, c.sectorSize));
        EXPECT_EQ(finder.GetFileRecordIndex(c.vcn, c.block), c.number) << c.clusterBytes;
    }
}

TEST(NTFSLog, UndoDataGivesACutRecordItsRunsBack) {
    size_t dataOffset = 0;
    const std::vector<uint8_t> record = CutRecord(dataOffset);
    // Undo of the run-list update, laid out to cross from page 5 into page 6.
    const std::vector<uint8_t> runs = {0x11, 0x03, 0x40, 0x21, 0x02, 0x00, 0x01, 0x00};
    LogPages pages(8);
    pages.Place(4, 64, LogRecord(100, 16, 0, 0, 0, {}, std::vector<uint8_t>(16, 1)));
    pages.Place(5, 64, Filler(101, 4096 - 96 - 64));
    pages.Place(5, 4096 - 96,
                LogRecord(102, static_cast<uint16_t>(dataOffset), kRunsOffset, kVcn, kBlock,
                          std::vector<uint8_t>(100, 0), runs));
    CFindFileFromLogFile finder;
    finder.AnalyzeLog(pages.Finish(), Geometry());
    EXPECT_EQ(finder.UndoCount(), 2u);  // the filler has no undo data

    auto properties = PropertiesOf(record);
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(properties->GetFileSize(), 0);
    ASSERT_TRUE(finder.ReplaceFileRecordInfo(record.data(), *properties, 5, {}));
    const auto extents = Extents(*properties);
    ASSERT_EQ(extents.size(), 2u);
    EXPECT_EQ(extents[0].firstCluster, 0x40);
    EXPECT_EQ(extents[0].clusterCount, 3u);
    EXPECT_EQ(extents[1].firstCluster, 0x40 + 0x100);
    EXPECT_EQ(properties->GetFileSize(), 5 * 4096);
}

TEST(NTFSLog, RecordWrappingFromTheLastPageIntoPageFourIsWhole) {
    size_t dataOffset = 0;
    const std::vector<uint8_t> record = CutRecord(dataOffset);
    const std::vector<uint8_t> runs = {0x11, 0x04, 0x20, 0x00, 0, 0, 0, 0};
    LogPages pages(6);
    pages.Place(5, 64, Filler(199, 4096 - 64 - 64));
    pages.Place(5, 4096 - 64,
                LogRecord(200, static_cast<uint16_t>(dataOffset), kRunsOffset, kVcn, kBlock,
                          std::vector<uint8_t>(64, 0), runs));
    CFindFileFromLogFile finder;
    finder.AnalyzeLog(pages.Finish(), Geometry());
    EXPECT_EQ(finder.UndoCount(), 1u);
    auto properties = PropertiesOf(record);
    ASSERT_TRUE(finder.ReplaceFileRecordInfo(record.data(), *properties, 5, {}));
    EXPECT_EQ(properties->GetFileSize(), 4 * 4096);
}

TEST(NTFSLog, LoggedImageGivesSizeAndExtentsByParentAndName) {
    // Two files of one name in two folders: the parent tells them apart.
    auto image = [](int64_t parent, uint8_t lcn) {
        NTFSRecordBuilder builder(1024, 1, 42);
        builder.AddFileName(parent, u"same.txt");
        builder.AddNonResident(0x80, {0x11, 0x02, lcn, 0x00}, 0, 1, 6000);
        std::vector<uint8_t> bytes = builder.Finish();
        CNTFSFileRecord::UnfixupFileRecord(bytes.data(), 1024);  // logged in memory form
        bytes.resize(CNTFSFileRecord::GetLength(bytes.data()));
        return bytes;
    };
    LogPages pages(8);
    pages.Place(4, 64, LogRecord(300, 0, 0, kVcn, kBlock, image(40, 0x50), {}));
    pages.Place(5, 64, LogRecord(301, 0, 0, kVcn, kBlock, image(41, 0x60), {}));
    CFindFileFromLogFile finder;
    finder.AnalyzeLog(pages.Finish(), Geometry());
    EXPECT_EQ(finder.ImageCount(), 2u);

    NTFSRecordBuilder deleted(1024, 0, 42);
    deleted.AddFileName(41, u"same.txt");
    deleted.AddNonResident(0x80, {0x00}, 0, -1, 0);
    const std::vector<uint8_t> record = deleted.Finish();
    auto properties = PropertiesOf(record);
    ASSERT_TRUE(finder.ReplaceFileRecordInfo(record.data(), *properties, 41, {}));
    EXPECT_EQ(properties->GetFileSize(), 6000);
    const auto extents = Extents(*properties);
    ASSERT_EQ(extents.size(), 1u);
    EXPECT_EQ(extents[0].firstCluster, 0x60);
}

TEST(NTFSLog, UndoDataPastTheRecordIsNotCopied) {
    size_t dataOffset = 0;
    const std::vector<uint8_t> record = CutRecord(dataOffset);
    LogPages pages(8);
    pages.Place(4, 64,
                LogRecord(400, static_cast<uint16_t>(dataOffset), 0x3F0, kVcn, kBlock, {},
                          std::vector<uint8_t>(512, 0x11)));
    CFindFileFromLogFile finder;
    finder.AnalyzeLog(pages.Finish(), Geometry());
    auto properties = PropertiesOf(record);
    finder.ReplaceFileRecordInfo(record.data(), *properties, 5, {});
    EXPECT_TRUE(Extents(*properties).empty());
    EXPECT_EQ(properties->GetFileSize(), 0);
}

// A record of a bare header closes the page: nothing past its 48 bytes (and
// so nothing past the page) is read as its undo fields.
TEST(NTFSLog, HeaderOnlyRecordAtThePageEndIsReadWithinItself) {
    LogPages pages(8);
    pages.Place(4, 64, Filler(1, 4048 - 64));
    std::vector<uint8_t> bare(48, 0);
    PutLE(bare, 0, 2, 8);  // LSN; client data length 0
    pages.Place(4, 4048, bare);
    CFindFileFromLogFile finder;
    finder.AnalyzeLog(pages.Finish(), Geometry());
    EXPECT_EQ(finder.UndoCount(), 0u);
    EXPECT_EQ(finder.ImageCount(), 0u);
}

TEST(NTFSLog, ShortLogYieldsNothing) {
    LogPages pages(4);
    CFindFileFromLogFile finder;
    finder.AnalyzeLog(pages.Finish(), Geometry());
    EXPECT_EQ(finder.UndoCount(), 0u);
    EXPECT_EQ(finder.ImageCount(), 0u);
}

namespace {

std::vector<uint8_t> ReadAt(std::fstream& file, int64_t offset, size_t bytes) {
    std::vector<uint8_t> data(bytes);
    file.seekg(offset);
    file.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(bytes));
    return data;
}

void WriteAt(std::fstream& file, int64_t offset, const std::vector<uint8_t>& data) {
    file.seekp(offset);
    file.write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
}

}  // namespace

// A deleted file whose data attribute is cut to nothing on a real volume, with
// the undo data of the cut in its log: it comes back whole.
TEST(NTFSLog, CutDeletedFileOnARealVolumeComesBackWhole) {
    const NTFSManifest manifest = ReadNTFSManifest("ntfs_512");
    int64_t number = 0, sector = 0;
    {
        FATImageDevice original(NTFSFixtureImage("ntfs_512"), 512);
        NTFSQuickScan scan;
        scan.Run(&original);
        CNTFSFileNode* gone = scan.byPath.at("/GONE.TXT");
        number = gone->GetCurrentNodeID();
        sector = gone->GetMetadataStartPosition();
    }
    TempDir dir;
    const auto image = dir / "cut.img";
    std::filesystem::copy_file(NTFSFixtureImage("ntfs_512"), image);
    std::fstream file(image, std::ios::in | std::ios::out | std::ios::binary);

    // Cut the record's data attribute: no runs, no sizes.
    std::vector<uint8_t> record = ReadAt(file, sector * 512, 1024);
    ASSERT_TRUE(NTFSUpdateSequence::IsValid(record.data(), 1024));
    NTFSUpdateSequence::Undo(record.data(), 1024);
    const uint32_t data = CNTFSFileRecord::GetAttributeOffset(record.data(), 1024, 0x80, 0);
    ASSERT_NE(data, CNTFSFileRecord::kNoAttribute);
    const uint16_t runsOffset = ReadLE16(record.data() + data + 32);
    const uint32_t length = ReadLE32(record.data() + data + 4);
    const std::vector<uint8_t> runs(record.begin() + data + runsOffset,
                                    record.begin() + data + length);
    const std::vector<uint8_t> sizes(record.begin() + data + 40, record.begin() + data + 64);
    std::fill(record.begin() + data + 40, record.begin() + data + length, 0);
    NTFSUpdateSequence::Redo(record.data(), 1024);
    WriteAt(file, sector * 512, record);

    // Log pages with the undo data, at the start of $LogFile (record 2).
    const std::vector<uint8_t> boot = ReadAt(file, 0, 512);
    const int64_t mft = static_cast<int64_t>(ReadLE64(boot.data() + 48)) * 4096;
    std::vector<uint8_t> logRecord = ReadAt(file, mft + 2 * 1024, 1024);
    NTFSUpdateSequence::Undo(logRecord.data(), 1024);
    const uint8_t* logData = CNTFSFileRecord::FindAttibute(logRecord.data(), 1024, 0x80, 0);
    ASSERT_NE(logData, nullptr);
    CNTFSDataRunList logRuns;
    ASSERT_TRUE(logRuns.InitFromBuffer(logData + ReadLE16(logData + 32), 16));
    const int64_t logStart = logRuns.GetLCN(0) * 4096;

    const int64_t vcn = number * 1024 / 4096;
    const uint16_t block = static_cast<uint16_t>(number * 1024 % 4096 / 512);
    LogPages pages(8);
    pages.Place(4, 64, LogRecord(500, static_cast<uint16_t>(data), 40, vcn, block, {}, sizes));
    pages.Place(4, 64 + 88 + 24,
                LogRecord(501, static_cast<uint16_t>(data), runsOffset, vcn, block, {}, runs));
    WriteAt(file, logStart, pages.Finish());
    file.close();

    FATImageDevice device(image, 512);
    NTFSQuickScan scan;
    scan.Run(&device);
    CNTFSFileNode* gone = scan.byPath.at("/GONE.TXT");
    EXPECT_TRUE(gone->IsDeleted());
    for (const NTFSManifestEntry& entry : manifest.entries) {
        if (entry.path != "/GONE.TXT")
            continue;
        EXPECT_EQ(gone->GetFileSize(), entry.size);
        auto partition = scan.Partition();
        EXPECT_EQ(Sha256Of(ReadNode(&device, partition.get(), gone)), entry.sha256);
    }
}

TEST(NTFSLog, WindowsLogIsReadWhole) {
    const auto shared = SharedFixturePath("ntfs-winxp-dftt10.raw.xz");
    if (!shared)
        GTEST_SKIP() << "../shared/fixtures is absent";
    TempDir dir;
    const auto image = dir / "dftt10.raw";
    ASSERT_TRUE(DecompressXz(*shared, image));
    FATImageDevice device(image, 512);
    CNTFSDBR dbr;
    NTFSGeometry geometry;
    ASSERT_TRUE(ReadNTFSBootSector(device, 0, dbr));
    ASSERT_TRUE(geometry.Init(dbr, 512, 0));
    std::vector<uint8_t> record(geometry.RecordReadBytes());
    const int64_t sector = geometry.ClusterSector(geometry.mftCluster);
    ASSERT_TRUE(device.ReadSector(record.data(), sector, geometry.sectorsPerRecord));
    CMFTInfo mft;
    ASSERT_TRUE(mft.InitFromBuffer(record.data(), static_cast<int>(geometry.recordBytes), sector));
    CFindFileFromLogFile finder;
    ASSERT_TRUE(finder.Init(&device, &mft.GetDataRunList(), geometry));
    EXPECT_TRUE(finder.Analyzer());
    // Windows wrote real records: the walk finds their undo data.
    EXPECT_GT(finder.UndoCount(), 0u);
}
