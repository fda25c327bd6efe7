#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "HarbexScanRun.h"

namespace {

using namespace harbex::test;

int Lines(const std::string& text) {
    return int(std::count(text.begin(), text.end(), '\n'));
}

TEST(HarbexScan, BadArgumentsExitWithAOneLineMessage) {
    TempDir dir;
    const std::string image = (dir / "blank.img").string();
    WriteFile(image, std::vector<uint8_t>(4096, 0));
    for (const std::string& arguments :
         {std::string(""), "--types 0 " + image, "--types 128 " + image, "--volume x " + image,
          "--volume 0 " + image, "--frobnicate " + image, image + " " + image,
          "--quick --complete " + image, std::string("--recover")}) {
        SCOPED_TRACE(arguments);
        const ScanRun run = RunHarbexScan(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err.rfind("harbex-scan: ", 0), 0u);
        EXPECT_EQ(Lines(run.err), 2);  // the message and the usage line
        EXPECT_TRUE(run.out.empty());
    }
}

TEST(HarbexScan, HelpDescribesEveryOptionOnItsOwnLineAndExitsZero) {
    for (const std::string& arguments :
         {std::string("-h"), std::string("--help"), std::string("--quick --frobnicate --help")}) {
        SCOPED_TRACE(arguments);
        const ScanRun run = RunHarbexScan(arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(run.err.empty()) << run.err;
        EXPECT_EQ(run.out.rfind("usage: harbex-scan ", 0), 0u) << run.out;
        // "  --all, --deep   what it does (default)": the options before the description.
        std::multiset<std::string> described;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("  -", 0) != 0)
                continue;
            std::istringstream names(line.substr(2, line.find("   ", 2) - 2));
            for (std::string name; std::getline(names, name, ',');) {
                std::istringstream(name) >> name;  // without its argument ("--types MASK")
                described.insert(name);
            }
        }
        for (const char* option :
             {"--quick", "--complete", "--partition", "--all", "--deep", "--types", "--volume",
              "--recover", "--verbose", "-h", "--help"}) {
            EXPECT_EQ(described.count(option), 1u) << option << " in\n" << run.out;
        }
    }
}

TEST(HarbexScan, AnUnreadableSourceExitsNonZero) {
    TempDir dir;
    const std::string empty = (dir / "empty.img").string();
    WriteFile(empty, {});
    for (const std::string& source : {(dir / "missing.img").string(), empty}) {
        for (const char* kind : {"--quick", "--complete"}) {
            const ScanRun run = RunHarbexScan(std::string(kind) + " " + source);
            EXPECT_EQ(run.status, 2) << kind << " " << source;
            EXPECT_NE(run.err.find("harbex-scan: "), std::string::npos);
            EXPECT_TRUE(run.out.empty()) << run.out;
        }
    }
}

TEST(HarbexScan, AVolumeBeyondThePartitionTableIsRefused) {
    TempDir dir;
    const std::string image = (dir / "blank.img").string();
    WriteFile(image, std::vector<uint8_t>(1 << 20, 0));
    const ScanRun run = RunHarbexScan("--complete --volume 2 " + image);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("1 volume"), std::string::npos) << run.err;
}

TEST(HarbexScan, EveryKindOfScanRunsEndToEndAndSaysWhatItFound) {
    TempDir dir;
    const std::string image = (dir / "blank.img").string();
    WriteFile(image, std::vector<uint8_t>(3 << 20, 0));
    for (const std::string& arguments :
         {"--quick " + image, "--quick --deep --volume 1 " + image, "--complete " + image,
          "--partition --types 3 " + image,
          "--complete --recover " + (dir / "out").string() + " " + image}) {
        SCOPED_TRACE(arguments);
        const ScanRun run = RunHarbexScan(arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.out.empty());
        EXPECT_NE(run.err.find("nothing found"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("found 0 files (0 deleted) and 0 folders (0 deleted)"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.err.find("partition\t"), std::string::npos) << run.err;
        if (arguments.find("--recover") != std::string::npos) {
            EXPECT_NE(run.err.find("recovered 0 whole, 0 partly, 0 not at all"), std::string::npos);
        }
    }
}

TEST(HarbexScan, AQuickScanWithoutSearcherPointsToTheCompleteScan) {
    TempDir dir;
    const std::string image = (dir / "blank.img").string();
    WriteFile(image, std::vector<uint8_t>(1 << 20, 0));
    const std::string hint = "a complete scan (--complete) searches the whole device";
    const ScanRun quick = RunHarbexScan("--quick " + image);
    EXPECT_EQ(quick.status, 0) << quick.err;
    EXPECT_NE(quick.err.find("no searcher"), std::string::npos) << quick.err;
    EXPECT_NE(quick.err.find(hint), std::string::npos) << quick.err;
    const ScanRun complete = RunHarbexScan("--complete " + image);
    EXPECT_EQ(complete.err.find(hint), std::string::npos) << complete.err;
}

TEST(HarbexScan, HelpListsTheExitStatuses) {
    const ScanRun run = RunHarbexScan("--help");
    for (const char* status : {"\n  0  ", "\n  1  ", "\n  2  ", "\n  3  ", "\n  4  "})
        EXPECT_NE(run.out.find(status), std::string::npos) << status;
    EXPECT_NE(run.out.find("not at all"), std::string::npos) << run.out;
}

TEST(HarbexScan, ScansALoopDevice) {
    TempDir dir;
    const auto image = dir / "disk.img";
    WriteFile(image, std::vector<uint8_t>(2 << 20, 0));
    LoopDevice loop(image, false);
    HARBEX_REQUIRE_LOOP(loop);
    const ScanRun run = RunHarbexScan("--complete " + loop.device());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("found 0 files"), std::string::npos);
}

}  // namespace
