#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CRSData.h"
#include "DataRunList.h"
#include "RSFields.h"
#include "ScanResultNodes.h"
#include "SearchedPartitionInfo.h"
#include "TestSupport.h"

namespace {

using harbex::test::TempDir;
using namespace SaveRestoreResult;

constexpr tagGUIDSIGN kRecords{{7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}};

// A node with every field of the record set.
class SampleNode : public RestoreFileNode {
public:
    SampleNode(const char* name, int runs, int shown) : name_(name) {
        nodeId_ = 42;
        parentNodeId_ = 7;
        SetBelongedPartition(3);
        SetMetaDataSector(1234);
        compressed_ = 1;
        SetShownFlag(shown);
        if (runs > 0) {
            dataRunList_ = CreateDataRunList();
            for (int i = 0; i < runs; ++i) {
                const DataRun run(100 + 10 * i, 2);  // not contiguous: stays apart
                dataRunList_->AddDataRun(&run);
            }
        }
    }
    const char* GetFileName() override { return name_.c_str(); }
    const char* GetVolumeName() const override { return name_.c_str(); }
    int64_t GetFileSize() override { return 5000; }
    uint32_t GetAttribute() override { return 0x21; }
    _FILETIME GetCreationTime() override { return 111; }
    _FILETIME GetModificationTime() override { return 222; }
    _FILETIME GetLastAccessTime() override { return 333; }
    int IsDirectory() override { return 0; }
    int IsDeleted() override { return 1; }

private:
    std::string name_;
};

// Writes with `write` into one frame and reads it back with `read`.
void RoundTrip(const std::function<void(RSFieldWriter&)>& write,
               const std::function<void(RSFieldReader&)>& read,
               const std::function<void(std::vector<uint8_t>&)>& change = nullptr) {
    TempDir dir;
    const auto path = dir / "records.rsf";
    {
        CRSData archive(RS_MODE_WRITE);
        ASSERT_TRUE(archive.StartRS(path.c_str(), 1));
        ASSERT_TRUE(archive.WriteFileHeader(FILEHEADER{}));
        archive.OpenFrame(kRecords);
        RSFieldWriter out(archive);
        write(out);
        archive.CloseFrame();
    }
    if (change) {
        std::vector<uint8_t> bytes = harbex::test::ReadFile(path);
        change(bytes);
        harbex::test::WriteFile(path, bytes);
    }
    CRSData archive(RS_MODE_READ);
    ASSERT_TRUE(archive.StartRS(path.c_str(), 0));
    archive.OpenFrame(kRecords);
    RSFieldReader in(archive);
    read(in);
}

std::vector<DataRun> RunsOf(CFileNode& node) {
    std::vector<DataRun> runs;
    if (IDataRunList* list = node.GetDataRunList()) {
        for (DataRun* run = list->GetFirst(); run != nullptr; run = list->GetNext())
            runs.push_back(*run);
    }
    return runs;
}

TEST(ScanResultRecords, FileNodeComesBackFieldByFieldAndShown) {
    SampleNode saved("report.doc", 3, 0);
    RestoreFileNode loaded;
    RoundTrip([&](RSFieldWriter& out) { RestoreFileNode::WriteFileNode(saved, out); },
              [&](RSFieldReader& in) {
                  RestoreFileNode::ReadFileNode(in, loaded);
                  EXPECT_EQ(in.Remaining(), 0u);
              });
    EXPECT_EQ(loaded.GetCurrentNodeID(), 42);
    EXPECT_EQ(loaded.GetParentNodeID(), 7);
    EXPECT_STREQ(loaded.GetFileName(), "report.doc");
    EXPECT_EQ(loaded.GetFileSize(), 5000);
    EXPECT_EQ(loaded.GetAttribute(), 0x21u);
    EXPECT_EQ(loaded.GetCreationTime(), 111u);
    EXPECT_EQ(loaded.GetModificationTime(), 222u);
    EXPECT_EQ(loaded.GetLastAccessTime(), 333u);
    EXPECT_EQ(loaded.IsDeleted(), 1);
    EXPECT_EQ(loaded.IsCompressed(), 1u);
    EXPECT_EQ(loaded.GetBelongedPartition(), 3);
    EXPECT_EQ(loaded.GetMetadataStartPosition(), 1234);
    EXPECT_EQ(loaded.IsNodeShow(), 1);  // saved hidden, loaded shown
    const std::vector<DataRun> runs = RunsOf(loaded);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[2].firstCluster, 120);
    EXPECT_EQ(runs[2].clusterCount, 2u);
}

TEST(ScanResultRecords, NodeWithoutExtentsHasNoRunList) {
    SampleNode saved("", 0, 1);
    RestoreFileNode loaded;
    RoundTrip([&](RSFieldWriter& out) { RestoreFileNode::WriteFileNode(saved, out); },
              [&](RSFieldReader& in) { RestoreFileNode::ReadFileNode(in, loaded); });
    EXPECT_EQ(loaded.GetDataRunList(), nullptr);
    EXPECT_STREQ(loaded.GetFileName(), "");
}

// Fields longer than this build takes over are passed over by their stored
// length, so the record after them is read from where it begins.
TEST(ScanResultRecords, OverlongNamesAndExtentListsArePassedOver) {
    const std::string longName(kMaxFileName + 1, 'n');
    SampleNode first(longName.c_str(), 0, 1);
    SampleNode second("after.txt", 1, 1);
    RestoreSystemNode root;
    RestoreFileNode a, b;
    RoundTrip(
        [&](RSFieldWriter& out) {
            RestoreFileNode::WriteFileNode(first, out);
            RestoreFileNode::WriteFileNode(second, out);
            // A root whose volume name is over-long, then one more record.
            RestoreSystemNode::WriteSystemNode(first, out);
            RestoreFileNode::WriteFileNode(second, out);
        },
        [&](RSFieldReader& in) {
            RestoreFileNode::ReadFileNode(in, a);
            RestoreFileNode::ReadFileNode(in, b);
            RestoreSystemNode::ReadSystemNode(in, root);
            RestoreFileNode c;
            RestoreFileNode::ReadFileNode(in, c);
            EXPECT_STREQ(c.GetFileName(), "after.txt");
            EXPECT_EQ(in.Remaining(), 0u);
        });
    EXPECT_STREQ(a.GetFileName(), "");
    EXPECT_STREQ(b.GetFileName(), "after.txt");
    EXPECT_EQ(root.VolumeName(), "");
    EXPECT_EQ(RunsOf(b).size(), 1u);

    // 65536 extents are not taken over either.
    SampleNode many("many", kMaxExtents + 1, 1);
    RestoreFileNode loaded;
    RoundTrip([&](RSFieldWriter& out) { RestoreFileNode::WriteFileNode(many, out); },
              [&](RSFieldReader& in) {
                  RestoreFileNode::ReadFileNode(in, loaded);
                  EXPECT_EQ(in.Remaining(), 0u);
              });
    EXPECT_EQ(loaded.GetDataRunList(), nullptr);
    EXPECT_STREQ(loaded.GetFileName(), "many");
}

TEST(ScanResultRecords, RecordsCutShortRaiseInsteadOfReadingPastTheFrame) {
    SampleNode saved("cut.txt", 2, 1);
    for (size_t keep : {0ul, 10ul, 60ul, 90ul}) {
        RoundTrip([&](RSFieldWriter& out) { RestoreFileNode::WriteFileNode(saved, out); },
                  [&](RSFieldReader& in) {
                      RestoreFileNode loaded;
                      try {
                          RestoreFileNode::ReadFileNode(in, loaded);
                          ADD_FAILURE() << "read past " << keep;
                      } catch (const CRSException& e) {
                          EXPECT_EQ(e.GetErrorcode(), RS_ERROR_RECORD_DAMAGED);
                      }
                  },
                  [keep](std::vector<uint8_t>& bytes) {
                      // The frame says it holds only `keep` bytes.
                      const uint32_t length = static_cast<uint32_t>(keep);
                      for (int i = 0; i < 4; ++i)
                          bytes[132 + 32 + i] = static_cast<uint8_t>(length >> (8 * i));
                  });
    }
}

TEST(ScanResultRecords, PartitionRecordIs104BytesInDeclaredOrder) {
    CSearchedPartitionInfo saved(4096);
    saved.reservedValue = 99;
    saved.partitionIndex = 2;
    saved.fileSystemType = FILE_SYSTEM_FAT32;
    saved.sectorsPerCluster = 8;
    saved.firstDataSector = 10;
    saved.startSector = 20;
    saved.fileSystemValue1 = 30;
    saved.fileSystemValue2 = 40;
    saved.fileSystemValue3 = 50;
    saved.totalSectors = 60;
    saved.integerScore = 70;
    saved.score = 1.5;
    saved.fileSystemValue4 = 80;
    CSearchedPartitionInfo loaded(512);
    RoundTrip([&](RSFieldWriter& out) { WritePartitionRecord(saved, out); },
              [&](RSFieldReader& in) {
                  EXPECT_EQ(in.Remaining(), kPartitionRecordSize);
                  ReadPartitionRecord(in, loaded);
              },
              [](std::vector<uint8_t>& bytes) {
                  const uint8_t* record = &bytes[132 + 36];
                  EXPECT_EQ(record[16], 2);     // partition index
                  EXPECT_EQ(record[20], 2);     // file system
                  EXPECT_EQ(record[40], 20);    // start sector
                  EXPECT_EQ(record[65], 0x10);  // sector size 4096
                  EXPECT_EQ(record[72], 60);    // total sectors
                  EXPECT_EQ(record[96], 80);
              });
    EXPECT_EQ(loaded.reservedValue, 0u);
    EXPECT_EQ(loaded.sectorSize, 4096u);
    EXPECT_EQ(loaded.startSector, 20u);
    EXPECT_EQ(loaded.fileSystemValue3, 50u);
    EXPECT_EQ(loaded.integerScore, 70u);
    EXPECT_EQ(loaded.score, 1.5);
    EXPECT_EQ(loaded.fileSystemValue4, 80u);
}

}  // namespace
