// Random damage to the structures the quick search reads ends the search
// cleanly (the sanitizer builds check the rest).

#include <gtest/gtest.h>

#include <random>

#include "ByteOrder.h"
#include "NTFSLogPages.h"
#include "NTFSScanHarness.h"

using namespace harbex::test;

namespace {

// Overwrites a few random bytes of `sectors` consecutive sectors from `first`.
void Damage(FATImageDevice& device, std::mt19937& random, int64_t first, int sectors, int bytes) {
    std::vector<std::vector<uint8_t>> data;
    for (int i = 0; i < sectors; ++i)
        data.push_back(device.Sector(first + i));
    std::uniform_int_distribution<size_t> where(0, data.size() * 512 - 1);
    std::uniform_int_distribution<int> value(0, 255);
    for (int i = 0; i < bytes; ++i) {
        const size_t at = where(random);
        data[at / 512][at % 512] = static_cast<uint8_t>(value(random));
    }
    for (int i = 0; i < sectors; ++i)
        device.Overlay(first + i, data[i]);
}

}  // namespace

TEST(NTFSDamagedImage, RandomDamageEndsCleanly) {
    const auto image = NTFSFixtureImage("ntfs_512");
    FATImageDevice probe(image, 512);
    NTFSQuickScan clean;
    clean.Run(&probe);
    const std::vector<uint8_t> boot = probe.Sector(0);
    const int64_t mft = static_cast<int64_t>(ReadLE64(boot.data() + 48)) * boot[13];
    // The record with the attribute list (many hard links) and the $LogFile record.
    int64_t links = -1;
    for (const auto& [path, node] : clean.byPath) {
        if (path.rfind("/Links/", 0) == 0)
            links = node->GetMetadataStartPosition();
    }
    ASSERT_GT(links, 0);

    const int64_t log = LogFileFirstCluster(probe) * boot[13];
    ASSERT_GT(log, 0);
    // Log pages with records that cross pages and one that wraps.
    LogPages pages(8);
    size_t page = 4, at = 64;
    for (uint64_t lsn = 1; page < 7; ++lsn) {
        const auto record = LogRecord(lsn, 0x38, 0x40, 7, 2, std::vector<uint8_t>(600, 0x11),
                                      std::vector<uint8_t>(400, 0x22));
        pages.Place(page, at, record);
        at += record.size();
        for (; at > 4096; ++page)
            at = 64 + (at - 4096);
        if (at + 48 > 4096) {
            ++page;
            at = 64;
        }
    }
    const std::vector<uint8_t> logBytes = pages.Finish();

    struct Target {
        const char* what;
        int64_t first;
        int sectors;
    } targets[] = {
        {"boot sector", 0, 1},
        {"first records of the table", mft, 64},
        {"attribute-list record and its extensions", links, 8},
        {"log file record", mft + 4, 2},
        {"log pages", log + 32, 32},
    };
    std::mt19937 random(20261210);
    for (const Target& target : targets) {
        SCOPED_TRACE(target.what);
        for (int round = 0; round < 5; ++round) {
            FATImageDevice device(image, 512);
            for (size_t sector = 0; sector < logBytes.size() / 512; ++sector) {
                device.Overlay(
                    log + static_cast<int64_t>(sector),
                    {logBytes.begin() + sector * 512, logBytes.begin() + (sector + 1) * 512});
            }
            Damage(device, random, target.first, target.sectors, 1 + round * 10);
            NTFSQuickScan scan;
            scan.Run(&device);
            if (scan.code == 0) {
                EXPECT_EQ(scan.progress.records.back().state, PROGRESS_STATE_FINISHED);
            }
        }
    }
}
