#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>

#include "MountInfo.h"

namespace {

const char* kTable =
    "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
    "30 28 8:2 /data /srv/bound rw,relatime shared:5 - ext4 /dev/sda2 rw\n"
    "31 28 8:2 / /mnt/my\\040disk\\011tab rw,relatime shared:5 master:2 - ext4 /dev/sda2 rw\n"
    "garbage line\n"
    "32 28 8:x / /broken rw - ext4 /dev/sdz rw\n"
    "33 28 0:60 / /media/back\\134slash rw,nosuid - fuseblk /dev/sdb1 rw,user_id=0\n"
    "34 28 8:3 / /no-separator rw shared:1 ext4 /dev/sda3 rw\n";

TEST(MountInfo, ParsesFieldsAroundOptionalOnes) {
    std::vector<MountEntry> mounts = ParseMountInfo(kTable);
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[1].major, 8u);
    EXPECT_EQ(mounts[1].minor, 2u);
    EXPECT_EQ(mounts[1].root, "/data");
    EXPECT_EQ(mounts[1].fsType, "ext4");
    EXPECT_EQ(mounts[1].source, "/dev/sda2");
    EXPECT_EQ(mounts[2].mountPoint, "/mnt/my disk\ttab");
    EXPECT_EQ(mounts[3].mountPoint, "/media/back\\slash");
    EXPECT_EQ(mounts[3].fsType, "fuseblk");
}

TEST(MountInfo, UnescapesOnlyOctalTriples) {
    EXPECT_EQ(UnescapeMountField("a\\040b"), "a b");
    EXPECT_EQ(UnescapeMountField("a\\04"), "a\\04");
    EXPECT_EQ(UnescapeMountField("a\\x41\\012"), "a\\x41\n");
}

TEST(MountInfo, PrefersTheFileSystemRootOverABindMount) {
    std::vector<MountEntry> mounts = ParseMountInfo(kTable);
    const MountEntry* mount = FindBlockDeviceMount(mounts, 8, 2);
    ASSERT_NE(mount, nullptr);
    EXPECT_EQ(mount->mountPoint, "/mnt/my disk\ttab");
    EXPECT_EQ(FindBlockDeviceMount(mounts, 8, 9), nullptr);
}

// A FUSE mount reports an anonymous device number; its source names the disk.
TEST(MountInfo, FuseMountCountsForItsSourceDevice) {
    std::string node;
    struct stat info {};
    for (const auto& entry : std::filesystem::directory_iterator("/dev")) {
        if (stat(entry.path().c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
            node = entry.path().string();
            break;
        }
    }
    if (node.empty())
        GTEST_SKIP() << "no block device node to point a mount at";
    std::string table = "40 28 0:77 / /media/fuse rw - fuse.exfat " + node + " rw\n" +
                        "41 28 0:78 / /media/other rw - fuse sshfs#host:/x rw\n";
    std::vector<MountEntry> mounts = ParseMountInfo(table);
    const MountEntry* mount =
        FindBlockDeviceMount(mounts, major(info.st_rdev), minor(info.st_rdev));
    ASSERT_NE(mount, nullptr);
    EXPECT_EQ(mount->mountPoint, "/media/fuse");
}

TEST(MountInfo, ReadsTheRunningSystemsTable) {
    std::vector<MountEntry> mounts = ReadMountInfo("/proc/self/mountinfo");
    ASSERT_FALSE(mounts.empty());
    bool root = false;
    for (const auto& mount : mounts)
        root = root || mount.mountPoint == "/";
    EXPECT_TRUE(root);
    EXPECT_TRUE(ReadMountInfo("/nonexistent/mountinfo").empty());
}

}  // namespace
