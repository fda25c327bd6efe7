#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "FATCompleteScanHarness.h"

namespace harbex::test {
namespace {

struct ListedFile {
    std::string path;  // below the top folder
    int64_t size = 0;
    bool directory = false;
};

// The FAT lines of harbex-scan's listing: type, path, size, deleted, folder, times.
std::vector<ListedFile> ParseListing(const std::string& output, std::string& top) {
    std::vector<ListedFile> listed;
    std::stringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t'))
            f.push_back(field);
        if (f.size() != 7 || f[0] != "32")
            continue;
        const size_t slash = f[1].find('/');
        top = f[1].substr(0, slash);
        listed.push_back({f[1].substr(slash), std::stoll(f[2]), f[4] == "1"});
    }
    return listed;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            out += '\\';
        out += c;
    }
    return out;
}

// A file of a folder the root no longer reaches is listed in a made-up
// "DIR<n>" folder in place of that lost top folder.
std::regex ListedPattern(const DiskFile& file) {
    if (file.state != "lost-folder")
        return std::regex(Escaped(file.path));
    const size_t second = file.path.find('/', 1);
    return std::regex("/DIR[0-9]+" +
                      (second == std::string::npos ? "" : Escaped(file.path.substr(second))));
}

class ScanToolTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ScanToolTest, CompleteDeepScanListsAndCopiesOutEveryFile) {
    const std::filesystem::path tool = ToolPath("harbex-scan");
    if (!std::filesystem::exists(tool))
        GTEST_SKIP() << "harbex-scan is not built";
    const std::string name = GetParam();
    const DiskManifest manifest = ReadDiskManifest(name);
    TempDir out;
    const CommandResult run =
        RunCommand(tool.string() + " --complete --deep --recover '" + (out / "files").string() +
                   "' '" + DiskImage(name).string() + "' 2>/dev/null");
    ASSERT_EQ(run.status, 0);
    std::string top;
    const std::vector<ListedFile> listed = ParseListing(run.output, top);
    for (const DiskFile& file : manifest.files) {
        SCOPED_TRACE(file.path);
        const std::regex pattern = ListedPattern(file);
        const ListedFile* match = nullptr;
        for (const ListedFile& entry : listed) {
            if (std::regex_match(entry.path, pattern) && entry.directory == file.directory &&
                entry.size == file.size) {
                match = &entry;
                break;
            }
        }
        ASSERT_NE(match, nullptr) << "not listed";
        if (file.directory)
            continue;
        const std::filesystem::path copy = out / "files" / (top + match->path);
        ASSERT_TRUE(std::filesystem::exists(copy)) << copy;
        EXPECT_EQ(Sha256(ReadFile(copy)), file.sha256);
    }
}

INSTANTIATE_TEST_SUITE_P(FATCompleteScanTool, ScanToolTest,
                         ::testing::Values("two_partitions", "one_entry_removed",
                                           "fat32_zeroed_boot", "fat16_reformatted", "odd_start",
                                           "big_sectors"));

}  // namespace
}  // namespace harbex::test
