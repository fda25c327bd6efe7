#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>

#include "CopyOutFakes.h"
#include "DataRecovery.h"
#include "Progress.h"
#include "TestSupport.h"

namespace {

using namespace harbex::test;
namespace fs = std::filesystem;

constexpr int64_t kMiB = 1 << 20;
constexpr uint32_t kCluster = 4096;  // 8 sectors

class CountingProgress : public IProgress {
public:
    int UpdateProgress(_PROGRESS_INFO* info) override {
        done.push_back(info->done);
        results.push_back(info->result);
        return 0;
    }
    int Continued() override { return ++asked > stopAfter ? 0 : 1; }
    int shouldBuild() override { return 1; }

    std::vector<uint64_t> done;
    std::vector<RESULT_CODE> results;
    int asked = 0;
    int stopAfter = 1 << 30;
};

// A 10 MiB file in three extents out of disk order, on a 12 MiB device.
struct CopyFixture {
    CopyFixture()
        : device(Numbered(3000 * kCluster)),
          node("big.bin", 10 * kMiB, {DataRun(2000, 1000), DataRun(100, 900), DataRun(1000, 660)}),
          searcher({Partition(8)}),
          recovery(CreateDataRecoveryObj()) {
        EXPECT_EQ(recovery->Initialize(&searcher, &device), kResultSuccess);
    }
    std::vector<uint8_t> Expected(int64_t size) {
        std::vector<uint8_t> bytes;
        for (auto [cluster, count] : {std::pair{2000, 1000}, {100, 900}, {1000, 660}}) {
            bytes.insert(bytes.end(), device.bytes().begin() + cluster * kCluster,
                         device.bytes().begin() + (cluster + count) * kCluster);
        }
        bytes.resize(size);
        return bytes;
    }
    bool Select(IFileNode* which) {
        IFileReader* reader = recovery->SetRecoverNode(which);
        if (reader != nullptr)
            reader->Release();
        return reader != nullptr;
    }

    MemoryDevice device;
    TestNode node;
    FixedPartitionsSearcher searcher;
    RecoveryPtr recovery;
    TempDir dir;
};

TEST(DataRecovery, CopiesAFragmentedFileByteForByteInFourMiBPieces) {
    CopyFixture f;
    ASSERT_TRUE(f.Select(&f.node));
    CountingProgress progress;
    const std::string path = f.dir / "big.bin";
    EXPECT_EQ(f.recovery->RecoverTo(path.c_str(), &progress, 0), kResultSuccess);
    EXPECT_EQ(ReadFile(path), f.Expected(10 * kMiB));
    EXPECT_EQ(progress.done, (std::vector<uint64_t>{0, 4 * kMiB, 8 * kMiB, 10 * kMiB}));
}

TEST(DataRecovery, ASizeLimitCopiesAtMostThatMany) {
    for (auto [limit, copied] : {std::pair{1000, 1000}, {int(20 * kMiB), int(10 * kMiB)}}) {
        CopyFixture f;
        ASSERT_TRUE(f.Select(&f.node));
        const std::string path = f.dir / "head";
        EXPECT_EQ(f.recovery->RecoverTo(path.c_str(), nullptr, limit), kResultSuccess);
        EXPECT_EQ(ReadFile(path), f.Expected(copied));
    }
}

TEST(DataRecovery, AnUnreadablePieceLeavesAHoleAndSaysPartial) {
    struct Case {
        int64_t badSector;  // on the device
        int64_t holeStart;  // in the file
        int64_t holeLength;
    };
    // Sector 1600 (cluster 200) lies in the file's second piece, cluster 1659 in its last.
    for (const Case& c :
         {Case{1600, 4 * kMiB, 4 * kMiB}, Case{8000 + 659 * 8, 8 * kMiB, 2 * kMiB}}) {
        SCOPED_TRACE(c.badSector);
        CopyFixture f;
        f.device.badSectors.insert(c.badSector);
        ASSERT_TRUE(f.Select(&f.node));
        const std::string path = f.dir / "holed";
        const RESULT_CODE result = f.recovery->RecoverTo(path.c_str(), nullptr, 0);
        EXPECT_TRUE(IsFailure(result));
        EXPECT_EQ(ResultKindOf(result), kResultShortRead);
        EXPECT_EQ(f.recovery->GetLastFailureReason(),
                  "parts could not be read from the source (left as zeros)");
        std::vector<uint8_t> expected = f.Expected(10 * kMiB);
        std::fill_n(expected.begin() + c.holeStart, c.holeLength, 0);
        EXPECT_EQ(ReadFile(path), expected);
    }
}

TEST(DataRecovery, AStopSaysStoppedAndLeavesNoHalfFile) {
    CopyFixture f;
    ASSERT_TRUE(f.Select(&f.node));
    CountingProgress progress;
    progress.stopAfter = 1;
    const std::string path = f.dir / "stopped";
    const RESULT_CODE result = f.recovery->RecoverTo(path.c_str(), &progress, 0);
    EXPECT_EQ(ResultKindOf(result), kResultStopped);
    EXPECT_TRUE(IsFailure(result));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(f.recovery->GetLastFailureReason().empty());
}

// The destination takes only `limit` bytes per file, as a full disk or a
// quota would: a write past it fails with "File too large".
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{limit, saved_.rlim_max};
        set_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, oldHandler_);
    }
    bool set() const { return set_; }

private:
    rlimit saved_{};
    sighandler_t oldHandler_ = SIG_DFL;
    bool set_ = false;
};

TEST(DataRecovery, AFailingWriterLeavesNothingAndSaysWhy) {
    struct Case {
        const char* what;
        rlim_t limit;
        int progressReports;  // the first one, then the pieces written before the failure
    };
    for (const Case& c : {Case{"nothing fits", 0, 1}, Case{"a short write part-way", 6 * kMiB, 2},
                          Case{"the last piece does not fit", 9 * kMiB, 3}}) {
        SCOPED_TRACE(c.what);
        CopyFixture f;
        ASSERT_TRUE(f.Select(&f.node));
        CountingProgress progress;
        const std::string path = f.dir / "big.bin";
        RESULT_CODE result = kResultSuccess;
        {
            FileSizeLimit limit(c.limit);
            ASSERT_TRUE(limit.set());
            result = f.recovery->RecoverTo(path.c_str(), &progress, 0);
        }
        EXPECT_EQ(ResultKindOf(result), kResultWriteFailed);
        EXPECT_FALSE(fs::exists(path)) << "a file that was not written whole stayed";
        EXPECT_EQ(f.recovery->GetLastFailureReason(), std::strerror(EFBIG));
        // Each failed attempt reports the failure; the good pieces count as done.
        const auto failures = std::count_if(progress.results.begin(), progress.results.end(),
                                            [](RESULT_CODE r) { return IsFailure(r); });
        EXPECT_EQ(failures, 3);
        EXPECT_EQ(progress.done.size(), size_t(c.progressReports + failures));
    }
}

TEST(DataRecovery, AFileUnderTheLimitIsWholeAndHasNoReason) {
    CopyFixture f;
    ASSERT_TRUE(f.Select(&f.node));
    const std::string path = f.dir / "big.bin";
    FileSizeLimit limit(10 * kMiB);
    ASSERT_TRUE(limit.set());
    EXPECT_EQ(f.recovery->RecoverTo(path.c_str(), nullptr, 0), kResultSuccess);
    EXPECT_EQ(ReadFile(path), f.Expected(10 * kMiB));
    EXPECT_EQ(f.recovery->GetLastFailureReason(), "");
}

TEST(DataRecovery, AFileNoByteOfWhichCanBeReadIsNotWrittenAtAll) {
    CopyFixture f;
    for (int64_t sector : {16000, 1600, 9192})  // one sector in each 4 MiB piece
        f.device.badSectors.insert(sector);
    ASSERT_TRUE(f.Select(&f.node));
    const std::string path = f.dir / "unreadable";
    EXPECT_EQ(ResultKindOf(f.recovery->RecoverTo(path.c_str(), nullptr, 0)), kResultFailed);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(f.recovery->GetLastFailureReason(), "could not be read from the source");
}

TEST(DataRecovery, AWriteThatKeepsFailingIsRetriedABoundedNumberOfTimes) {
    CopyFixture f;
    ASSERT_TRUE(f.Select(&f.node));
    CountingProgress progress;
    const RESULT_CODE result = f.recovery->RecoverTo("/dev/full", &progress, 0);
    EXPECT_EQ(ResultKindOf(result), kResultWriteFailed);
    const auto failures = std::count_if(progress.results.begin(), progress.results.end(),
                                        [](RESULT_CODE r) { return IsFailure(r); });
    EXPECT_EQ(failures, 3);
    EXPECT_EQ(f.recovery->GetLastFailureReason(), std::strerror(ENOSPC));
    EXPECT_TRUE(fs::exists("/dev/full")) << "a device given as the destination was removed";
}

TEST(DataRecovery, WithoutSelectedFileNothingIsMade) {
    CopyFixture f;
    const std::string path = f.dir / "none";
    EXPECT_EQ(ResultKindOf(f.recovery->RecoverTo(path.c_str(), nullptr, 0)), kResultNoFileSelected);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ResultKindOf(f.recovery->RecoverTo(nullptr, nullptr, 0)), kResultBadArgument);
    ASSERT_TRUE(f.Select(&f.node));
    EXPECT_EQ(ResultKindOf(f.recovery->RecoverTo((f.dir / "no/such/dir").c_str(), nullptr, 0)),
              kResultCannotCreateDestination);
    EXPECT_EQ(f.recovery->GetLastFailureReason(), std::strerror(ENOENT));
}

TEST(DataRecovery, SelectingAFolderKeepsThePreviousFile) {
    CopyFixture f;
    TestNode folder("dir", 0, {}, true);
    ASSERT_TRUE(f.Select(&f.node));
    EXPECT_FALSE(f.Select(&folder));
    EXPECT_FALSE(f.Select(nullptr));
    const std::string path = f.dir / "still";
    EXPECT_EQ(f.recovery->RecoverTo(path.c_str(), nullptr, 100), kResultSuccess);
    EXPECT_EQ(ReadFile(path), f.Expected(100));
}

TEST(DataRecovery, InitializeWantsASearcherWithPartitions) {
    MemoryDevice device(Numbered(4096));
    RecoveryPtr recovery(CreateDataRecoveryObj());
    FixedPartitionsSearcher none({});
    EXPECT_EQ(ResultKindOf(recovery->Initialize(&none, &device)), kResultNoPartitionReported);
    EXPECT_EQ(ResultKindOf(recovery->Initialize(nullptr, &device)), kResultBadArgument);
    EXPECT_EQ(ResultModuleOf(recovery->Initialize(&none, nullptr)), kModuleDataRecovery);
}

TEST(DataRecovery, EveryPartitionIsTakenWhateverTheSearcherAnswersAShortArray) {
    struct Case {
        const char* what;
        int partitions;
        bool shortArrayAnswersZero;
        bool countsForNullArray;
    } cases[] = {
        {"answers the count to a short array", 300, false, true},
        {"answers 0 to a short array", 300, true, true},
        {"cannot count, few partitions", 3, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<CSearchedPartitionInfo> found;
        for (int i = 0; i < c.partitions; ++i) {
            found.push_back(Partition(8));
            found.back().score = i % 7;
            found.back().partitionIndex = uint16_t(i);
        }
        FixedPartitionsSearcher searcher(found);
        searcher.shortArrayAnswersZero = c.shortArrayAnswersZero;
        searcher.countsForNullArray = c.countsForNullArray;
        MemoryDevice device(Numbered(4096));
        RecoveryPtr recovery(CreateDataRecoveryObj());
        ASSERT_EQ(recovery->Initialize(&searcher, &device), kResultSuccess);
        const auto& kept = recovery->GetSearchedPartition();
        ASSERT_EQ(kept.size(), size_t(c.partitions));
        EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end(),
                                   [](auto* a, auto* b) { return a->score > b->score; }));
    }
}

TEST(DataRecovery, SavedPartitionsAreCopied) {
    std::vector<CSearchedPartitionInfo*> saved = {new CSearchedPartitionInfo(Partition(8))};
    MemoryDevice device(Numbered(4096));
    RecoveryPtr recovery(CreateDataRecoveryObj());
    ASSERT_EQ(recovery->Initialize(saved, &device), kResultSuccess);
    ASSERT_EQ(recovery->GetSearchedPartition().size(), 1u);
    EXPECT_NE(recovery->GetSearchedPartition()[0], saved[0]);
    EXPECT_EQ(recovery->GetSearchedPartition()[0]->sectorsPerCluster, 8u);
    delete saved[0];
}

// A JPEG start marker at `start` and an end marker at `end` in a file of `size` bytes.
TEST(DataRecovery, ReadSmallJPGFindsAnEmbeddedPicture) {
    struct Case {
        int64_t size;
        int start;
        int end;
        uint32_t expected;
    };
    for (const Case& c : {Case{64 * 1024, 100, 5000, 4904}, Case{60 * 1024, 100, 5000, 0},
                          Case{64 * 1024, 100, 1500, 0}, Case{64 * 1024, 100, -1, 0}}) {
        SCOPED_TRACE(c.size);
        std::vector<uint8_t> bytes(128 * 1024, 0x11);
        bytes[c.start] = 0xFF;
        bytes[c.start + 1] = 0xD8;
        bytes[c.start + 2] = 0xFF;
        if (c.end >= 0) {
            bytes[c.end] = 0xFF;
            bytes[c.end + 1] = 0xD9;
        }
        MemoryDevice device(bytes);
        TestNode node("p.raw", c.size, {DataRun(0, 32)});
        FixedPartitionsSearcher searcher({Partition(8)});
        RecoveryPtr recovery(CreateDataRecoveryObj());
        ASSERT_EQ(recovery->Initialize(&searcher, &device), kResultSuccess);
        IFileReader* reader = recovery->SetRecoverNode(&node);
        ASSERT_NE(reader, nullptr);
        reader->Release();
        std::vector<char> preview(64 * 1024);
        EXPECT_EQ(recovery->ReadSmallJPG(preview.data(), uint32_t(preview.size())), c.expected);
        if (c.expected != 0) {
            EXPECT_EQ(uint8_t(preview[0]), 0xFF);
        }
        EXPECT_EQ(recovery->ReadSmallJPG(preview.data(), 1000), 0u);
    }
}

}  // namespace
