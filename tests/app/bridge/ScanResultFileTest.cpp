#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "DataRecovery.h"
#include "FileNode.h"
#include "FileReader.h"
#include "FoundFiles.h"
#include "ImageFiles.h"
#include "KvSaveAndRestoreNodeOperate.h"
#include "KvThumbnailData.h"
#include "KvUIDeviceData.h"
#include "KvUIFilter.h"
#include "KvUIRecovery.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "SaveRestoreResult.h"
#include "ScanImages.h"
#include "SearchedPartitionInfo.h"
#include "StorageDevice.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using harbex::test::FixturePath;
using harbex::test::ReadFile;
using harbex::test::TempDir;
using harbex::test::WriteFile;
using namespace SaveRestoreResult;

// The saved result of the test image must keep loading: it was written by
// an earlier build (see tests/fixtures/scanresult/README.md).
constexpr const char* kStableResult = "scanresult/fat16_complete.rsf.xz";
void PutLE(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

struct KeepGoing : IProgress {
    int UpdateProgress(_PROGRESS_INFO*) override { return 0; }
    int Continued() override { return 1; }
    int shouldBuild() override { return 1; }
};

// Every found file the scan's copy-out objects can copy, by its listing line.
std::map<std::string, std::vector<uint8_t>> CopyOutAll(const fs::path& folder) {
    KvUIScan* scan = KvUIScan::instance();
    IRecoveryController* controller = scan->GetRecoveryController();
    std::map<std::string, std::vector<uint8_t>> copied;
    if (controller == nullptr || !fs::create_directories(folder))
        return copied;
    std::vector<IFileNode*> files;
    for (const auto& [category, nodes] : scan->GetTypeMap())
        files.insert(files.end(), nodes.begin(), nodes.end());
    KeepGoing progress;
    int count = 0;
    for (const FoundEntry& entry : ListFound(files)) {
        IDataRecovery* recovery = controller->GetDataRecovery(entry.type);
        if (recovery == nullptr)
            continue;
        if (IFileReader* reader = recovery->SetRecoverNode(entry.node))
            reader->Release();
        const fs::path target = folder / std::to_string(count++);
        if (!IsFailure(recovery->RecoverTo(target.c_str(), &progress, 0)))
            copied[FormatFound(entry)] = ReadFile(target);
        recovery->Release();
    }
    return copied;
}

// Saves the last scan's result and loads one through the bridge's scan
// object, as the facade's workers do, on the test's thread.
int Save(const fs::path& path) {
    if (!KvUIScan::instance()->AcquireResults())
        return -1;
    // As the facade does before it starts a save.
    KvSaveAndRestoreNodeOperate::instance()->SetStatus(KV_STATUS_RUNNING);
    return SaveScanResult(path.c_str(), KvSaveAndRestoreNodeOperate::instance());
}

int Load(const fs::path& path, const char* imagePath = nullptr) {
    KvUIScan* scan = KvUIScan::instance();
    scan->ClearData();
    if (!scan->BeginScanRequest())
        return -1;
    scan->SetShouldBuildTree(1);
    return RestoreScanResult(path.c_str(), scan, imagePath);
}

// Scans, saves and loads through the bridge's scan object, as the facade's
// workers do, on the test's thread.
class ScanResultFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        const fs::path raw = *dir_ / "fat16.img";
        if (!harbex::test::DecompressXz(FixturePath("fat/fat16_512.img.xz"), raw))
            return;
        if (bridgetest::MakeOztImage(raw, *dir_ / "fat16.ozt"))
            device_ = bridgetest::OpenImageDevice(*dir_ / "fat16.ozt");
    }
    static void TearDownTestSuite() {
        // The scans ran on this thread: their deferred updates arrive here,
        // not in a later test.
        bridgetest::Pump(4500);
        KvUIScan::instance()->ForgetResults();
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (device_ == nullptr)
            GTEST_SKIP() << "the test image could not be made";
    }

    static void Scan() { ASSERT_TRUE(bridgetest::ScanImageDevice(device_)); }

    static TempDir* dir_;
    static IStorageDevice* device_;
};

TempDir* ScanResultFileTest::dir_ = nullptr;
IStorageDevice* ScanResultFileTest::device_ = nullptr;

TEST_F(ScanResultFileTest, LoadedTreesEqualTheScannedOnesAndCopyOutTheSameBytes) {
    Scan();
    const std::vector<std::string> scanned = bridgetest::BridgeListing();
    ASSERT_GT(scanned.size(), 10u);
    const auto original = CopyOutAll(*dir_ / "original");
    ASSERT_GT(original.size(), 5u);
    const fs::path saved = *dir_ / "round.rsf";
    ASSERT_EQ(Save(saved), 0);

    ASSERT_EQ(Load(saved), 0);
    EXPECT_EQ(bridgetest::BridgeListing(), scanned);
    EXPECT_EQ(CopyOutAll(*dir_ / "loaded"), original);
}

TEST_F(ScanResultFileTest, SaveIsRefusedWhileAScanRuns) {
    KvUIScan* scan = KvUIScan::instance();
    ASSERT_TRUE(scan->BeginScanRequest());
    KvSaveAndRestoreNodeOperate* saver = KvSaveAndRestoreNodeOperate::instance();
    saver->SetStatus(KV_STATUS_RUNNING);
    const fs::path path = *dir_ / "refused.rsf";
    EXPECT_EQ(DoSaveScanResult(path.c_str(), saver), -3);
    scan->SetStatus(KV_STATUS_IDLE);
    EXPECT_FALSE(fs::exists(path));
    // The refusal ends the save's progress, so whoever waits for it stops waiting.
    EXPECT_EQ(saver->GetStatus(), KV_STATUS_IDLE);
    EXPECT_EQ(saver->GetProgressInfo().state, PROGRESS_STATE_FINISHED);
    EXPECT_EQ(saver->GetProgressInfo().result, static_cast<RESULT_CODE>(kSaveScanRunning));
    EXPECT_EQ(DoSaveScanResult(nullptr, saver), -1);
}

TEST_F(ScanResultFileTest, SaveToAFolderThatCannotBeWrittenReportsIt) {
    Scan();
    EXPECT_EQ(Save(*dir_ / "missing" / "x.rsf"), kSaveNotOpened);
    EXPECT_EQ(KvSaveAndRestoreNodeOperate::instance()->GetProgressInfo().result,
              static_cast<RESULT_CODE>(kSaveNotOpened));
    // The results were let go of: a new scan may start.
    EXPECT_EQ(KvUIScan::instance()->ResultUsers(), 0);
}

// Offsets in a saved result of the test image, found by walking its frames.
struct Layout {
    size_t controllerFrame = 0, deviceFrame = 0, nodeFrame = 0, end = 0;
    size_t firstRoot = 0;        // the root marker
    size_t partitionCount = 0;   // of the first root
    size_t firstNodeMarker = 0;  // of the first root
    size_t firstNodeName = 0;    // the name length of that node
};

Layout LayoutOf(const std::vector<uint8_t>& file) {
    Layout layout;
    std::vector<size_t> frames;
    for (size_t at = 132; at + 36 <= file.size(); at += 36 + ReadLE32(&file[at + 32]))
        frames.push_back(at);
    if (frames.size() != 3)
        return layout;
    layout.controllerFrame = frames[0];
    layout.deviceFrame = frames[1];
    layout.nodeFrame = frames[2];
    layout.end = file.size();
    layout.firstRoot = layout.nodeFrame + 36 + 8;
    // The root marker and the root's file-node record: 58 bytes up to its
    // extents, then the extents, the name and 18 bytes; then its type and
    // volume name.
    size_t at = layout.firstRoot + 4 + 58;
    const uint32_t extents = ReadLE32(&file[at]);
    at += 8 + 16 * size_t{extents};
    at += 4 + ReadLE32(&file[at]);
    at += 4 + 2 + 8 + 4 + 4;
    at += 4 + ReadLE32(&file[at]);
    layout.partitionCount = at;
    layout.firstNodeMarker = at + 4 + ReadLE32(&file[at]) * size_t{108};
    const size_t extentCount = layout.firstNodeMarker + 4 + 58;
    layout.firstNodeName = extentCount + 8 + 16 * size_t{ReadLE32(&file[extentCount])};
    return layout;
}

TEST_F(ScanResultFileTest, DamagedResultsFailCleanlyAndLoadNothing) {
    Scan();
    const fs::path saved = *dir_ / "good.rsf";
    ASSERT_EQ(Save(saved), 0);
    const std::vector<uint8_t> good = ReadFile(saved);
    const Layout at = LayoutOf(good);
    ASSERT_GT(at.firstNodeMarker, at.partitionCount);
    ASSERT_EQ(ReadLE32(&good[at.partitionCount]), 1u);
    ASSERT_EQ(ReadLE32(&good[at.firstNodeMarker]), 0u);
    // The same result with its one root saved twice loads, as two roots do.
    ASSERT_EQ(ReadLE64(&good[at.nodeFrame + 36]), 1u);
    std::vector<uint8_t> twoRoots = good;
    twoRoots.insert(twoRoots.end(), good.begin() + static_cast<long>(at.firstRoot), good.end());
    PutLE(twoRoots, at.nodeFrame + 36, 2, 8);
    PutLE(twoRoots, at.nodeFrame + 32, ReadLE32(&good[at.nodeFrame + 32]) + (at.end - at.firstRoot),
          4);
    WriteFile(*dir_ / "two.rsf", twoRoots);
    ASSERT_EQ(Load(*dir_ / "two.rsf"), 0);

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        int error;
    };
    const auto cut = [](size_t length) {
        return [length](std::vector<uint8_t>& b) { b.resize(length); };
    };
    const auto put32 = [](size_t offset, uint32_t value) {
        return [offset, value](std::vector<uint8_t>& b) { PutLE(b, offset, value, 4); };
    };
    const Case cases[] = {
        {"empty file", cut(0), kLoadBadHeader},
        {"header cut", cut(100), kLoadBadHeader},
        {"header checksum", [](auto& b) { b[21] ^= 0x40; }, kLoadBadHeader},
        {"header description", [](auto& b) { b[60] ^= 1; }, kLoadBadHeader},
        {"first frame signature", [&](auto& b) { b[at.controllerFrame] ^= 1; },
         kLoadNoControllerList},
        {"controller list length", put32(at.controllerFrame + 36, 9), kLoadNoControllerList},
        {"device frame cut", cut(at.deviceFrame + 40), kLoadNoDiskDevice},
        {"device frame type", [&](auto& b) { b[at.deviceFrame + 20] ^= 1; }, kLoadNoDiskDevice},
        {"device name length", put32(at.deviceFrame + 36 + 20, 5000), kLoadNoDiskDevice},
        {"node frame missing", cut(at.nodeFrame), kLoadDamaged},
        {"node frame cut in its header", cut(at.nodeFrame + 20), kLoadDamaged},
        {"node frame cut in a record", cut(at.firstNodeMarker + 30), kLoadDamaged},
        {"node frame cut before its end marker", cut(at.end - 2), kLoadDamaged},
        {"node frame length past the file", put32(at.nodeFrame + 32, 0x7FFFFFFF), kLoadDamaged},
        {"node frame length short", put32(at.nodeFrame + 32, 100), kLoadDamaged},
        {"root count", [&](auto& b) { PutLE(b, at.nodeFrame + 36, 1000000, 8); }, kLoadDamaged},
        {"root count lowered",
         [&](auto& b) {
             b = twoRoots;
             PutLE(b, at.nodeFrame + 36, 1, 8);
         },
         kLoadDamaged},
        {"root count zero", [&](auto& b) { PutLE(b, at.nodeFrame + 36, 0, 8); }, kLoadDamaged},
        {"bytes after the last root",
         [&](auto& b) {
             b.insert(b.end(), 4, 0);
             PutLE(b, at.nodeFrame + 32, ReadLE32(&b[at.nodeFrame + 32]) + 4, 4);
         },
         kLoadDamaged},
        {"root marker", put32(at.firstRoot, 2), kLoadDamaged},
        {"partition count 513", put32(at.partitionCount, 513), kLoadDamaged},
        {"node marker", put32(at.firstNodeMarker, 7), kLoadDamaged},
        {"name length huge", put32(at.firstNodeName, 0xFFFFFFF0), kLoadDamaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        WriteFile(*dir_ / "bad.rsf", bytes);
        EXPECT_EQ(Load(*dir_ / "bad.rsf"), c.error);
        EXPECT_TRUE(KvUIScan::instance()->GetFileSystemNode().empty());
        EXPECT_EQ(KvUIScan::instance()->GetScanFileCnt(), 0u);
        EXPECT_EQ(KvUIScan::instance()->GetStatus(), KV_STATUS_IDLE);
    }
    EXPECT_EQ(Load(*dir_ / "missing.rsf"), kLoadNotOpened);
}

// The device frame of a drive no device in the list is: a partition of a
// disk whose model nobody has.
std::vector<uint8_t> AbsentDriveFrame() {
    std::vector<uint8_t> body;
    const auto put = [&body](uint64_t value, int width) {
        body.resize(body.size() + static_cast<size_t>(width));
        PutLE(body, body.size() - static_cast<size_t>(width), value, width);
    };
    const auto text = [&](const std::string& value) {
        put(value.size(), 4);
        body.insert(body.end(), value.begin(), value.end());
    };
    put(32 << 20, 8);  // capacity
    put(0, 4);         // disk index
    put(0, 4);         // volume index
    put(1, 4);         // file system
    text("ABSENT");    // name
    put(0, 4);         // no Apple disk image
    put(0xFFFFFFFF, 4);
    put(0, 4);  // no ozt image
    put(0xFFFFFFFF, 4);
    put(0x44494248, 4);  // what identifies it
    put(0x0800F1, 4);    // device number
    put(2048, 8);        // start sector
    text("sdz1");
    text("Absent Model 1");
    return body;
}

// A saved result whose drive is not connected, or whose image is gone, still
// loads: its trees are listed as they were saved, and nothing of the files
// can be read.
TEST_F(ScanResultFileTest, AResultWhoseDeviceIsMissingIsListedButNotRead) {
    Scan();
    const std::vector<std::string> scanned = bridgetest::BridgeListing();
    ASSERT_GT(scanned.size(), 10u);
    const fs::path saved = *dir_ / "saved.rsf";
    ASSERT_EQ(Save(saved), 0);
    std::vector<uint8_t> drive = ReadFile(saved);
    const Layout at = LayoutOf(drive);
    ASSERT_GT(at.nodeFrame, at.deviceFrame);
    const std::vector<uint8_t> frame = AbsentDriveFrame();
    drive.erase(drive.begin() + static_cast<long>(at.deviceFrame + 36),
                drive.begin() + static_cast<long>(at.nodeFrame));
    drive.insert(drive.begin() + static_cast<long>(at.deviceFrame + 36), frame.begin(),
                 frame.end());
    PutLE(drive, at.deviceFrame + 32, frame.size(), 4);
    WriteFile(*dir_ / "drive.rsf", drive);

    struct Case {
        const char* what;
        fs::path file;
        std::string imagePath;  // empty: none
    };
    for (const Case& c : {Case{"drive not connected", *dir_ / "drive.rsf", ""},
                          Case{"image gone", saved, (*dir_ / "gone.ozt").string()}}) {
        SCOPED_TRACE(c.what);
        // As a program just started, or whose last scan was a quick one, has it.
        KvUIFilter::instance()->GetFilter()->SetScanType(SCAN_TYPE_DELETED_ONLY);
        ASSERT_EQ(Load(c.file, c.imagePath.empty() ? nullptr : c.imagePath.c_str()), 0);
        KvUIScan* scan = KvUIScan::instance();
        EXPECT_TRUE(scan->IsWithoutDevice());
        EXPECT_EQ(scan->GetStatus(), KV_STATUS_IDLE);
        EXPECT_EQ(scan->GetSavedStorage(), nullptr);
        EXPECT_EQ(bridgetest::BridgeListing(), scanned);

        // Every file checked and asked for: none is copied, none pretends to be.
        std::vector<IFileNode*> files;
        for (const auto& [category, nodes] : scan->GetTypeMap())
            files.insert(files.end(), nodes.begin(), nodes.end());
        ASSERT_EQ(files.size(), scan->GetScanFileCnt());
        for (IFileNode* root : scan->GetFileSystemNode())
            root->SetCheck(CHECK_STATUS_CHECKED);
        EXPECT_TRUE(KvThumbnailData(files.front()).read(16).empty());
        const fs::path out = *dir_ / "out";
        fs::create_directories(out);
        KvUIRecovery* recovery = KvUIRecovery::instance();
        recovery->SetRecoveryPath((out.string() + "/").c_str());
        recovery->SetStatus(KV_STATUS_RUNNING);
        recovery->DoRecovery();
        EXPECT_EQ(recovery->GetRecoveryCounts().recovered + recovery->GetRecoveryCounts().partly,
                  0u);
        EXPECT_EQ(recovery->GetRecoveryCounts().skipped, files.size());
        EXPECT_TRUE(fs::is_empty(out));
        scan->UnselectAllNodes();
    }
    // The next result with its device is read again.
    ASSERT_EQ(Load(saved), 0);
    EXPECT_FALSE(KvUIScan::instance()->IsWithoutDevice());
    EXPECT_NE(KvUIScan::instance()->GetRecoveryController(), nullptr);
}

// A partition record of a type this build does not know is passed over by its length.
TEST_F(ScanResultFileTest, PartitionOfAnUnknownTypeIsPassedOver) {
    Scan();
    const fs::path saved = *dir_ / "plain.rsf";
    ASSERT_EQ(Save(saved), 0);
    std::vector<uint8_t> bytes = ReadFile(saved);
    const Layout at = LayoutOf(bytes);
    // The first root gains a second partition record of type 9.
    std::vector<uint8_t> unknown(4 + 104, 0xAB);
    PutLE(unknown, 0, 9, 4);
    bytes.insert(bytes.begin() + static_cast<long>(at.firstNodeMarker), unknown.begin(),
                 unknown.end());
    PutLE(bytes, at.partitionCount, 2, 4);
    PutLE(bytes, at.nodeFrame + 32, ReadLE32(&bytes[at.nodeFrame + 32]) + unknown.size(), 4);
    WriteFile(*dir_ / "unknown.rsf", bytes);
    const std::vector<std::string> expected = bridgetest::BridgeListing();
    ASSERT_EQ(Load(*dir_ / "unknown.rsf"), 0);
    EXPECT_EQ(bridgetest::BridgeListing(), expected);
}

TEST_F(ScanResultFileTest, ResultWrittenByAnEarlierBuildStillLoads) {
    const fs::path stored = *dir_ / "stable.rsf";
    ASSERT_TRUE(harbex::test::DecompressXz(FixturePath(kStableResult), stored));
    ASSERT_EQ(Load(stored, (*dir_ / "fat16.ozt").c_str()), 0);
    // Every file the image's maker wrote is there, with its size.
    std::ifstream manifest(FixturePath("fat/fat16_512.manifest"));
    const std::vector<std::string> loaded = bridgetest::BridgeListing();
    int checked = 0;
    for (std::string line; std::getline(manifest, line);) {
        if (line.rfind("file\t", 0) != 0 || line.find("\tlive") == std::string::npos)
            continue;
        const size_t path = 5, size = line.find('\t', path);
        const std::string name = line.substr(path + 1, size - path - 1);
        const std::string bytes = line.substr(size + 1, line.find('\t', size + 1) - size - 1);
        const bool found = std::any_of(loaded.begin(), loaded.end(), [&](const std::string& l) {
            return l.find("\t" + name + "\t" + bytes + "\t") != std::string::npos;
        });
        EXPECT_TRUE(found) << name;
        ++checked;
    }
    EXPECT_GT(checked, 5);
}

// The round trip over the other file systems, each scanned whole as an ozt
// image: their partition records (NTFS evidence, HFS+ compressed files) must
// come back as the copy-out needs them.
struct RoundTripImage {
    const char* fixture;
    uint64_t imageTime;  // each image a device of its own in the list
};

class ScanResultRoundTrip : public ::testing::TestWithParam<RoundTripImage> {
protected:
    void TearDown() override {
        bridgetest::Pump(200);
        KvUIScan::instance()->ForgetResults();
    }
    TempDir dir_;
};

TEST_P(ScanResultRoundTrip, LoadedTreesEqualTheScannedOnesAndCopyOutTheSameBytes) {
    const fs::path raw = dir_ / "volume.img";
    ASSERT_TRUE(harbex::test::DecompressXz(FixturePath(GetParam().fixture), raw));
    ASSERT_TRUE(bridgetest::MakeOztImage(raw, dir_ / "volume.ozt", GetParam().imageTime));
    IStorageDevice* device = bridgetest::OpenImageDevice(dir_ / "volume.ozt");
    ASSERT_NE(device, nullptr);
    ASSERT_TRUE(bridgetest::ScanImageDevice(device));
    const std::vector<std::string> scanned = bridgetest::BridgeListing();
    ASSERT_GT(scanned.size(), 5u);
    const auto original = CopyOutAll(dir_ / "original");
    ASSERT_GT(original.size(), 3u);
    ASSERT_EQ(Save(dir_ / "round.rsf"), 0);

    ASSERT_EQ(Load(dir_ / "round.rsf"), 0);
    EXPECT_EQ(bridgetest::BridgeListing(), scanned);
    EXPECT_EQ(CopyOutAll(dir_ / "loaded"), original);
}

INSTANTIATE_TEST_SUITE_P(
    Images, ScanResultRoundTrip,
    ::testing::Values(RoundTripImage{"ntfs/ntfs_512.img.xz", bridgetest::kTestImageTime + 20},
                      RoundTripImage{"hfsplus/hfsplus_compressed.img.xz",
                                     bridgetest::kTestImageTime + 21},
                      RoundTripImage{"exfat/exfat_512.img.xz", bridgetest::kTestImageTime + 22}),
    [](const ::testing::TestParamInfo<RoundTripImage>& info) {
        std::string name = info.param.fixture;
        name = name.substr(name.find('/') + 1);
        return name.substr(0, name.find('.'));
    });

}  // namespace
