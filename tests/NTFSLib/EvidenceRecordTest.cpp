#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FileRecordPositionInfo.h"
#include "FolderIndexAllocationInfo.h"
#include "MFTInfo.h"
#include "MetaFileInfo.h"
#include "NTFSDBR.h"
#include "NTFSFileRecord.h"
#include "NTFSFixtures.h"
#include "NTFSGeometry.h"
#include "NTFSMetaFile.h"
#include "NTFSRecordAnalyzer.h"
#include "NTFSRecordBuilder.h"
#include "NTFSRunList.h"
#include "RSData.h"
#include "SearchedNTFSPartitionInfo.h"

using namespace harbex::test;

namespace {

// One run of `count` clusters at LCN `lcn`.
std::vector<uint8_t> OneRun(uint8_t count, uint8_t lcn) {
    return {0x11, count, lcn, 0};
}

std::vector<uint8_t> IndexRootNaming(uint64_t parent) {
    // Index root header (16), node header (16), one entry naming `parent`, end entry.
    std::vector<uint8_t> value(16 + 16 + 88 + 16, 0);
    PutLE(value, 0, 0x30, 4);
    PutLE(value, 8, 4096, 4);
    PutLE(value, 16, 16, 4);            // first entry, from the node header
    PutLE(value, 20, 16 + 88 + 16, 4);  // used
    PutLE(value, 24, 16 + 88 + 16, 4);  // allocated
    const size_t entry = 32;
    PutLE(value, entry, 40, 8);           // the child's reference
    PutLE(value, entry + 8, 88, 2);       // entry length
    PutLE(value, entry + 10, 72, 2);      // key length
    PutLE(value, entry + 16, parent, 8);  // the key's parent reference
    PutLE(value, entry + 16 + 40, 0, 8);
    value[entry + 16 + 64] = 1;  // name length
    PutLE(value, entry + 16 + 66, 'a', 2);
    PutLE(value, entry + 88 + 8, 16, 2);  // end entry
    PutLE(value, entry + 88 + 12, 2, 4);
    return value;
}

std::vector<uint8_t> FolderRecord(uint64_t rootParent, bool ownNumber) {
    NTFSRecordBuilder record(1024, 3, 64);
    record.AddFileName(5, u"dir", 1, 0, 0x10000000);
    record.AddResident(0x90, IndexRootNaming(rootParent), u"$I30");
    record.AddNonResident(0xA0, OneRun(1, 0x40), 0, 0, 4096, 0, u"$I30");
    if (!ownNumber)
        PutLE(record.Raw(), 42, 1, 2);
    return record.Finish();
}

}  // namespace

TEST(NTFSRecordAnalyzer, DataRunsOfARecordAreCheckedAndGathered) {
    struct Case {
        const char* what;
        int64_t lastVcn;
        bool compressed;
        bool checkCounts;
        bool ok;
    } cases[] = {
        {"counts agree", 3, false, true, true},
        {"counts disagree", 7, false, true, false},
        {"counts disagree, not checked", 7, false, false, true},
        {"counts disagree on a compressed attribute", 7, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NTFSRecordBuilder record;
        record.AddFileName(5, u"f");
        record.AddNonResident(0x80, OneRun(2, 9), 0, 1, 1000, 0, u"named");  // skipped
        record.AddNonResident(0x80, OneRun(4, 0x20), 0, c.lastVcn, 12345, c.compressed ? 1 : 0);
        std::vector<uint8_t> bytes = record.Finish();
        CNTFSDataRunList runs;
        int64_t realSize = -1;
        EXPECT_EQ(CNTFSFileRecordAnalyzer::AddDataRunListfromFileRecordBuffer(
                      bytes.data(), 1024, runs, c.checkCounts, &realSize),
                  c.ok);
        if (c.ok) {
            ASSERT_EQ(runs.Runs().size(), 1u);
            EXPECT_EQ(runs.GetLCN(0), 0x20);
            EXPECT_EQ(realSize, 12345);
        }
    }

    NTFSRecordBuilder resident;
    resident.AddFileName(5, u"f");
    resident.AddResident(0x80, std::vector<uint8_t>(10, 1));
    std::vector<uint8_t> bytes = resident.Finish();
    CNTFSDataRunList runs;
    EXPECT_FALSE(CNTFSFileRecordAnalyzer::AddDataRunListfromFileRecordBuffer(bytes.data(), 1024,
                                                                             runs, false, nullptr));
}

TEST(NTFSRecordAnalyzer, ClusterSizeFromTheDataAttribute) {
    struct Case {
        int64_t realSize;
        uint8_t clusters;
        uint8_t expected;
    } cases[] = {
        {64 * 4096, 64, 8},        {300, 1, 1}, {3 * 1024 + 1, 3, 4}, {100 * 65536, 100, 128},
        {100 * 65536 + 1, 100, 0},  // clusters above 64 KiB have no supported size
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.realSize);
        NTFSRecordBuilder record;
        record.AddFileName(5, u"f");
        record.AddNonResident(0x80, OneRun(c.clusters, 0x20), 0, c.clusters - 1, c.realSize);
        std::vector<uint8_t> bytes = record.Finish();
        uint8_t spc = 99;
        EXPECT_TRUE(CNTFSFileRecordAnalyzer::GetSectorsPerClusterfrom0x80(bytes.data(), 1024, spc));
        EXPECT_EQ(spc, c.expected);
    }
}

TEST(NTFSRecordAnalyzer, ClusterNumberMatchesOnlyAtAClusterStart) {
    struct Case {
        int64_t sector, cluster, start;
        uint32_t spc;
        bool match;
    } cases[] = {
        {2048 + 8 * 4, 4, 2048, 8, true},
        {2048 + 8 * 4 + 1, 4, 2048, 8, false},
        {2048 + 8 * 4, 5, 2048, 8, false},
        {100, 0, 2048, 8, false},
        {7, 7, 0, 1, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NTFSPublicFunction::IsClusterNOMatch(c.sector, c.cluster, c.start, c.spc),
                  c.match)
            << c.sector;
    }
}

TEST(NTFSEvidenceRecords, PositionRunTakesOnlyTheNextRecord) {
    CCommonFileRecordPositionInfo run(1000);
    EXPECT_TRUE(run.Merge(1002));
    EXPECT_TRUE(run.Merge(1004));
    EXPECT_FALSE(run.Merge(1005));
    EXPECT_FALSE(run.Merge(1008));
    EXPECT_TRUE(run.Merge(1006));
    EXPECT_EQ(run.GetFileRecordCount(), 4);

    CCommonFileRecordPositionInfo large(1000, 8);  // 4 KiB records
    EXPECT_FALSE(large.Merge(1002, 8));
    EXPECT_TRUE(large.Merge(1008, 8));
}

TEST(NTFSEvidenceRecords, FolderIndexAllocationNeedsAFolderNumberOtherThanTheRoot) {
    struct Case {
        const char* what;
        uint64_t rootParent;
        bool ownNumber;
        bool ok;
        int64_t number;
    } cases[] = {
        {"root entries name parent 40", 40, true, true, 40},
        {"root entries name the root, record carries its number", 5, true, false, 5},
        {"root entries name the root, no own number", 5, false, false, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = FolderRecord(c.rootParent, c.ownNumber);
        ASSERT_TRUE(CFolderFileRecordAnalyzer::IsValidFolderFileRecordHavingIndexAllocation(
            bytes.data(), 1024));
        CFolderIndexAllocationInfo info;
        EXPECT_EQ(info.InitFromBuffer(bytes.data(), 1024, 77), c.ok);
        EXPECT_EQ(info.GetMFTFileRecordNumber(), c.number);
        if (c.ok) {
            EXPECT_EQ(info.GetFirstClusterNO(), 0x40);
            EXPECT_EQ(info.GetSectorsPerCluster(), 8u);
            EXPECT_EQ(info.GetLCN(1), -1);
        }
    }
}

TEST(NTFSEvidenceRecords, MFTRecordStartingWithAHoleIsRefused) {
    NTFSRecordBuilder record(1024, 1, 0);
    record.AddFileName(5, u"$MFT");
    record.AddNonResident(0x80, {0x01, 0x04, 0x11, 0x04, 0x20, 0x00}, 0, 7, 8 * 4096);
    std::vector<uint8_t> bytes = record.Finish();
    const CNTFSFileRecord view(bytes.data(), 1024, false);
    ASSERT_TRUE(view.IsValid());
    EXPECT_EQ(CMFTInfo::Build(view, 10), nullptr);
}

TEST(NTFSFileRecordHeader, CopiesTheBytesBeforeTheFirstAttribute) {
    NTFSRecordBuilder record;
    record.AddFileName(5, u"f");
    std::vector<uint8_t> bytes = record.Finish();
    CNTFSFileRecordHeader header;
    ASSERT_TRUE(header.InitFromBuffer(bytes.data(), 1024));
    EXPECT_EQ(
        header.GetHeader(),
        std::vector<uint8_t>(
            bytes.begin(), bytes.begin() + CNTFSFileRecord::GetFirstAttibuteOffset(bytes.data())));
    bytes[0] = 'X';
    EXPECT_FALSE(header.InitFromBuffer(bytes.data(), 1024));
    EXPECT_TRUE(header.GetHeader().empty());
}

// The meta-file records of real volumes give the evidence their boot sectors agree with.
TEST(NTFSEvidenceRecords, MetaFileRecordsOfRealVolumes) {
    for (const std::string& name : NTFSFixtureNames()) {
        SCOPED_TRACE(name);
        FATImageDevice device(NTFSFixtureImage(name), 512);
        CNTFSDBR dbr;
        NTFSGeometry geometry;
        ASSERT_TRUE(ReadNTFSBootSector(device, 0, dbr));
        ASSERT_TRUE(geometry.Init(dbr, 512, 0));
        const int size = static_cast<int>(geometry.recordBytes);
        const int64_t mftSector = geometry.ClusterSector(geometry.mftCluster);
        std::vector<uint8_t> records(static_cast<size_t>(size) * 11);
        ASSERT_TRUE(device.ReadSector(records.data(), mftSector, 11 * size / 512));
        auto record = [&](int number) { return records.data() + number * size; };

        const CNTFSFileRecord mft(record(0), size, false);
        std::unique_ptr<CMFTInfo> mftInfo(CMFTInfo::Build(mft, mftSector));
        ASSERT_NE(mftInfo, nullptr);
        EXPECT_EQ(mftInfo->GetFirstClusterNO(), geometry.mftCluster);
        EXPECT_EQ(mftInfo->GetSectorsPerCluster(), geometry.clusterBytes / 512);

        const CNTFSFileRecord mirr(record(1), size, false);
        ASSERT_TRUE(CMetaFileRecordTypeAnalyzer::IsValidMFTMirrFileRecord(mirr));
        std::unique_ptr<CMFTMirrInfo> mirrInfo(CMFTMirrInfo::Build(mirr, mftSector + 2));
        ASSERT_NE(mirrInfo, nullptr);
        EXPECT_EQ(mirrInfo->GetFirstClusterNO(), geometry.mftMirrCluster);

        ASSERT_TRUE(CMetaFileRecordTypeAnalyzer::IsValidLogFileRecord(record(2), size));
        CLogFileInfo log;
        ASSERT_TRUE(log.InitFromBuffer(record(2), size, 4));
        EXPECT_EQ(log.GetSectorsPerCluster(), geometry.clusterBytes / 512);
        CLogFileInfo again;
        ASSERT_TRUE(again.InitFromBuffer(record(2), size, 4));
        EXPECT_TRUE(log.Equals(&again));

        EXPECT_TRUE(CMetaFileRecordTypeAnalyzer::IsValidAttrDefFileRecord(record(4), size));
        EXPECT_TRUE(CMetaFileRecordTypeAnalyzer::IsValidUpCaseFileRecord(record(10), size));
        CUpCaseFileInfo upcase;
        ASSERT_TRUE(upcase.InitFromBuffer(record(10), size, 20));
        EXPECT_EQ(
            upcase.GetDataRunList().GetTotalClusters() * geometry.clusterBytes,
            (131072 + geometry.clusterBytes - 1) / geometry.clusterBytes * geometry.clusterBytes);

        const CNTFSFileRecord bitmap(record(6), size, false);
        ASSERT_TRUE(CMetaFileRecordTypeAnalyzer::IsValidBitmapFileRecord(bitmap));
        CBitmapFileInfo bitmapInfo;
        ASSERT_TRUE(bitmapInfo.InitFromBuffer(bitmap, 12));
        const int64_t clusters =
            dbr.GetTotalSectors() * dbr.GetBytesPerSector() / geometry.clusterBytes;
        EXPECT_GE(bitmapInfo.GetFileSize() * 8, clusters);
        EXPECT_LT(bitmapInfo.GetFileSize(), clusters / 8 + 9);
    }
}

namespace {

// One frame's bytes in memory; a read short of what it asks fails.
class MemoryFrame : public IRSData {
public:
    bool CheckFile() override { return false; }
    bool StartRS(const char*, int) override { return false; }
    bool EndRS() override { return false; }
    bool WriteFileHeader(const FILEHEADER&) override { return false; }
    bool ReadFileHeader(FILEHEADER&) override { return false; }
    uint32_t GetStatus() override { return 0; }
    bool SetStatus(FileStatus) override { return false; }
    bool SetFileDescription(const char*) override { return false; }
    bool GetFileDescription(char*, int) override { return false; }
    bool OpenFrame(const tagGUIDSIGN&) override { return true; }
    bool CloseFrame() override { return true; }
    uint32_t GetFrameSize() override { return static_cast<uint32_t>(bytes.size()); }
    bool ReadCurFrame(void* buffer, uint32_t count) override {
        if (bytes.size() - position < count)
            return false;
        std::memcpy(buffer, bytes.data() + position, count);
        position += count;
        return true;
    }
    bool WriteCurFrame(const void* buffer, uint32_t count) override {
        const auto* data = static_cast<const uint8_t*>(buffer);
        bytes.insert(bytes.end(), data, data + count);
        return true;
    }
    bool FlushBuffer() override { return true; }

    std::vector<uint8_t> bytes;
    size_t position = 0;
};

}  // namespace

TEST(NTFSEvidenceRecords, PartitionKeepsEveryFieldThroughTheArchive) {
    CSearchedNTFSPartitionInfo saved(512);
    saved.SetSerialNumber(0x1122334455667788);
    saved.SetSectorsperFileRecord(8);
    saved.SetPartitionBuildFromFlag(0xD5);
    saved.mftLocated = 1;
    saved.restrictToTables = 1;
    saved.totalClusters = 5119;
    saved.logMatchCount = 12000;
    saved.attrDefMatchCount = 5;
    saved.upCaseMatchCount = 257;
    saved.mftSector = 2048 + 32;
    saved.logFileRecordSector = 2048 + 36;
    saved.attrDefRecordSector = 2048 + 40;
    saved.upCaseRecordSector = 2048 + 52;
    saved.bitmapSectors = 40960;
    MemoryFrame frame;
    ASSERT_TRUE(saved.Save(frame));
    EXPECT_EQ(frame.bytes.size(), 8u + 4 * 4 + 9 * 8);
    CSearchedNTFSPartitionInfo restored(512);
    ASSERT_TRUE(restored.Restore(frame));
    EXPECT_EQ(restored.GetSerialNumber(), saved.GetSerialNumber());
    EXPECT_EQ(restored.GetSectorsperFileRecord(), 8u);
    EXPECT_EQ(restored.GetPartitionBuildFromFlags(), 0xD5u);
    EXPECT_EQ(restored.mftLocated, 1u);
    EXPECT_EQ(restored.restrictToTables, 1u);
    const int64_t CSearchedNTFSPartitionInfo::*fields[] = {
        &CSearchedNTFSPartitionInfo::totalClusters,
        &CSearchedNTFSPartitionInfo::logMatchCount,
        &CSearchedNTFSPartitionInfo::attrDefMatchCount,
        &CSearchedNTFSPartitionInfo::upCaseMatchCount,
        &CSearchedNTFSPartitionInfo::mftSector,
        &CSearchedNTFSPartitionInfo::logFileRecordSector,
        &CSearchedNTFSPartitionInfo::attrDefRecordSector,
        &CSearchedNTFSPartitionInfo::upCaseRecordSector,
        &CSearchedNTFSPartitionInfo::bitmapSectors,
    };
    for (auto field : fields)
        EXPECT_EQ(restored.*field, saved.*field);
}

TEST(NTFSEvidenceRecords, TableAndRecordRunsThroughTheArchive) {
    NTFSRecordBuilder record(1024, 1, 0);
    record.AddFileName(5, u"$MFT");
    record.AddNonResident(0x80, {0x11, 0x04, 0x20, 0x11, 0x04, 0x10, 0x00}, 0, 7, 8 * 4096);
    std::vector<uint8_t> bytes = record.Finish();
    CMFTInfo saved;
    ASSERT_TRUE(saved.InitFromBuffer(bytes.data(), 1024, 4096));
    saved.SetSectorsPerFileRecord(8);
    CCommonFileRecordPositionInfo run(1000);
    ASSERT_TRUE(run.Merge(1002));
    MemoryFrame frame;
    ASSERT_TRUE(saved.Save(frame));
    EXPECT_EQ(frame.bytes.size(), 8u + 1 + 1 + 8 + 2 * 24);
    ASSERT_TRUE(run.Save(frame));

    CMFTInfo restored;
    ASSERT_TRUE(restored.Restore(frame));
    EXPECT_EQ(restored.GetSectorAddress(), 4096);
    EXPECT_EQ(restored.GetSectorsPerFileRecord(), 8);
    EXPECT_EQ(restored.GetSectorsPerCluster(), saved.GetSectorsPerCluster());
    EXPECT_TRUE(restored.GetDataRunList().IsEqual(saved.GetDataRunList()));
    CCommonFileRecordPositionInfo back;
    ASSERT_TRUE(back.Restore(frame));
    EXPECT_EQ(back.GetFileRecordStartSector(), 1000);
    EXPECT_EQ(back.GetFileRecordCount(), 2);

    // A cut frame and an impossible run count are refused.
    MemoryFrame cut;
    cut.bytes.assign(frame.bytes.begin(), frame.bytes.begin() + 40);
    EXPECT_FALSE(CMFTInfo().Restore(cut));
    MemoryFrame huge;
    huge.bytes.assign(10, 0);
    huge.bytes.resize(18, 0xFF);
    EXPECT_FALSE(CMFTInfo().Restore(huge));
}
