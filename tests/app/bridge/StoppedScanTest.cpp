// A complete scan stopped part of the way keeps the files it carved before
// the stop.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "DataRunList.h"
#include "FileNode.h"
#include "ImageFiles.h"
#include "KvUIScan.h"
#include "QtWait.h"
#include "TestSupport.h"

namespace {

using namespace bridgetest;
namespace fs = std::filesystem;

constexpr int64_t kBlockSectors = 8192;  // the complete scan's 4 MiB block
constexpr int kBlocks = 24;

// A PNG picture: signature, header, one data chunk of `length` bytes, end.
std::vector<uint8_t> Png(uint32_t length) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    auto chunk = [&png](const char* type, uint32_t bytes, uint8_t fill) {
        for (int shift = 24; shift >= 0; shift -= 8)
            png.push_back(uint8_t(bytes >> shift));
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), bytes, fill);
        png.insert(png.end(), {0x12, 0x34, 0x56, 0x78});
    };
    chunk("IHDR", 13, 0x01);
    chunk("IDAT", length, 0x5A);
    chunk("IEND", 0, 0);
    return png;
}

// The first sectors of the carved files the scan has indexed.
std::set<int64_t> CarvedStarts() {
    std::set<int64_t> starts;
    for (const auto& [category, files] : KvUIScan::instance()->GetTypeMap()) {
        for (IFileNode* node : files) {
            auto* file = dynamic_cast<CFileNode*>(node);
            if (file == nullptr)
                continue;
            if (DataRun* run = file->GetDataRunList()->GetFirst())
                starts.insert(run->firstCluster);
        }
    }
    return starts;
}

TEST(StoppedScan, KeepsTheFilesCarvedBeforeTheStop) {
    // Random bytes with one picture a megabyte into every block.
    harbex::test::TempDir dir;
    std::vector<uint8_t> image(size_t(kBlocks) * kBlockSectors * 512);
    std::mt19937 random(44);
    for (uint8_t& byte : image)
        byte = uint8_t(random());
    std::vector<int64_t> laid;
    for (int block = 0; block < kBlocks; ++block) {
        const int64_t start = block * kBlockSectors + 2048;
        const std::vector<uint8_t> png = Png(20000 + 1000 * uint32_t(block));
        std::memcpy(image.data() + start * 512, png.data(), png.size());
        laid.push_back(start);
    }
    const fs::path raw = dir / "pictures.img";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    ASSERT_TRUE(MakeOztImage(raw, dir / "pictures.ozt", kTestImageTime + 44));
    IStorageDevice* device = OpenImageDevice(dir / "pictures.ozt");
    ASSERT_NE(device, nullptr);

    // Stop once half the blocks have been walked.
    KvUIScan* scan = KvUIScan::instance();
    std::atomic<bool> scanning{true};
    std::thread stopper([&] {
        while (scanning) {
            const _PROGRESS_INFO progress = scan->GetProgressInfo();
            if (progress.total > 0 && progress.done * 2 >= progress.total) {
                scan->StopOperation(0);
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const bool started = ScanImageDevice(device);
    scanning = false;
    stopper.join();
    ASSERT_TRUE(started);
    Pump(300);

    const std::set<int64_t> carved = CarvedStarts();
    if (carved.size() == laid.size())
        GTEST_SKIP() << "the scan ended before it could be stopped";
    // The files of the blocks walked before the stop, and no others.
    ASSERT_GE(carved.size(), size_t(kBlocks / 4));
    EXPECT_EQ(carved, std::set<int64_t>(laid.begin(), laid.begin() + long(carved.size())));
    scan->ForgetResults();
}

}  // namespace
