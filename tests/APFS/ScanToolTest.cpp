#include <gtest/gtest.h>

#include <algorithm>

#include "APFSScanCheck.h"

namespace harbex::test {
namespace {

struct ScanRun {
    int status = -1;
    std::string listing;
};

ScanRun Scan(const std::string& arguments) {
    const CommandResult run =
        RunCommand(ToolPath("harbex-scan").string() + " " + arguments + " 2>/dev/null");
    return {run.status, run.output};
}

class APFSScanTool : public testing::TestWithParam<const char*> {};

TEST_P(APFSScanTool, CompleteDeepScanListsEveryFileAndCopiesItOut) {
    if (!std::filesystem::exists(ToolPath("harbex-scan")))
        GTEST_SKIP() << "harbex-scan is not built";
    const std::string name = GetParam();
    const auto image = APFSImage(name);
    ASSERT_FALSE(image.empty());
    TempDir out;
    const ScanRun run = Scan("--complete --deep --recover '" + (out / "files").string() + "' '" +
                             image.string() + "'");
    const APFSManifest manifest = ReadAPFSManifest(name);
    // 4: some listed file was not copied whole.
    ASSERT_EQ(run.status, manifest.unreadable.empty() ? 0 : 4);
    std::string top;
    const std::vector<ListedEntry> listed = APFSLines(run.listing, top);
    ExpectListingMatches(listed, top, manifest, out / "files");

    // A second run lists the same, line for line.
    EXPECT_EQ(Scan("--complete --deep '" + image.string() + "'").listing, run.listing);
}

INSTANTIATE_TEST_SUITE_P(Images, APFSScanTool,
                         testing::Values("container", "gpt_sector40", "mbr_two_containers",
                                         "sector4096", "extents_damaged"));

TEST(APFSScanTool, ContainerMadeByMacOS) {
    const auto image = SharedAPFSImage();
    if (image.empty())
        GTEST_SKIP() << "../shared/fixtures/apfs-dfvfs.raw.xz is absent";
    if (!std::filesystem::exists(ToolPath("harbex-scan")))
        GTEST_SKIP() << "harbex-scan is not built";
    TempDir out;
    const ScanRun run = Scan("--complete --deep --recover '" + (out / "files").string() + "' '" +
                             image.string() + "'");
    ASSERT_EQ(run.status, 0);
    std::string top;
    const std::vector<ListedEntry> listed = APFSLines(run.listing, top);
    struct Expected {
        const char* path;
        int64_t size;
        bool directory;
    };
    // As fsapfsinfo and 7zz list it; the link and the resource fork keep
    // their data outside the data stream.
    const Expected expected[] = {
        {"/passwords.txt", 116, false},
        {"/a_directory", 0, true},
        {"/a_directory/a_file", 53, false},
        {"/a_directory/another_file", 22, false},
        {"/a_directory/a_resourcefork", 0, false},
        {"/a_link", 0, false},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.path);
        const auto found = std::find_if(listed.begin(), listed.end(),
                                        [&](const ListedEntry& l) { return l.path == e.path; });
        ASSERT_NE(found, listed.end());
        EXPECT_EQ(found->size, e.size);
        EXPECT_EQ(found->directory, e.directory);
        EXPECT_FALSE(found->deleted);
        EXPECT_EQ(found->modified, "2022-01-14T07:19:41Z");
    }
    // The checksum of the copy 7zz extracts.
    EXPECT_EQ(FileSha256(out / "files" / (top + "/passwords.txt")),
              "02a2a6af2f1ecf4720d7d49d640f0d0a269a7ec733e41973bdd34f09dad0e252");
}

}  // namespace
}  // namespace harbex::test
