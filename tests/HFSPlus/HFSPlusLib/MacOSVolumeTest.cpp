// A volume made by macOS (../shared/fixtures/hfsplus-dfvfs.raw.xz): files,
// a symbolic link, a resource fork and an extended attribute in a real
// attributes tree.

#include <gtest/gtest.h>

#include <map>

#include "HFSPlusProgress.h"
#include "HFSPlusTestTrees.h"
#include "HFSPlusVolume.h"

using namespace harbex::test;

namespace {

std::string Md5(const unsigned char* data, uint64_t size) {
    TempDir dir;
    WriteFile(dir / "data", Bytes(data, data + size));
    return RunCommand("md5sum '" + (dir / "data").string() + "'").output.substr(0, 32);
}

}  // namespace

TEST(MacOSVolume, ListsFilesAndReadsAnExtendedAttribute) {
    const auto packed = SharedFixturePath("hfsplus-dfvfs.raw.xz");
    if (!packed)
        GTEST_SKIP() << "../shared/fixtures is absent";
    TempDir work;
    ASSERT_TRUE(DecompressXz(*packed, work / "dfvfs.raw"));
    HFSPlusMemoryDevice device(ReadFile(work / "dfvfs.raw"), 512);
    CHFSPlusVolume volume(&device, false);
    ASSERT_EQ(volume.GetLastError(), 0u);
    ASSERT_NE(volume.GetAttributesTree(), nullptr);

    RecordingBuilder builder;
    CHFSPlusQuickFileSystemSearchProgress progress(nullptr, true);
    EXPECT_EQ(volume.QuickSearchFiles(&builder, &progress), 0u);
    const std::map<std::string, int64_t> sizes = {{"passwords.txt", 116},
                                                  {"a_file", 53},
                                                  {"another_file", 22},
                                                  {"a_link", 24},
                                                  {"a_resourcefork", 0}};
    for (const auto& [name, size] : sizes) {
        SCOPED_TRACE(name);
        IFileNode* node = builder.Named(name);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->GetFileSize(), size);
        EXPECT_FALSE(node->IsDeleted());
    }

    const auto fileId = static_cast<uint32_t>(builder.Named("a_file")->GetCurrentNodeID());
    unsigned char* data = nullptr;
    const uint64_t size = volume.getAttribute(fileId, "myxattr", &data);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(Md5(data, size), "3fa4e88463acf850565eeb1444c5b12d");
    delete[] data;
    EXPECT_EQ(volume.getAttribute(fileId, "no such attribute", &data), 0u);
    EXPECT_EQ(data, nullptr);
}
