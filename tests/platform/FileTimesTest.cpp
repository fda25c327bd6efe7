#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "FileTimes.h"
#include "TestSupport.h"

namespace {

using harbex::test::RunCommand;
using harbex::test::TempDir;

FileTimeStamp At(time_t seconds, long nanoseconds) {
    return FileTimeStamp{true, timespec{seconds, nanoseconds}};
}

struct stat StatOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0);
    return st;
}

TEST(FileTimes, OpenFileTakesAccessAndModificationTimes) {
    TempDir dir;
    const std::string path = dir / "file";
    harbex::test::WriteFile(path, {1, 2, 3});
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(SetOpenFileTimes(fd, At(1000000000, 123456700), At(1300000000, 5)));
    close(fd);
    struct stat st = StatOf(path);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_atim.tv_nsec, 123456700);
    EXPECT_EQ(st.st_mtim.tv_sec, 1300000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 5);
}

TEST(FileTimes, UnsetStampLeavesTheFilesOwn) {
    TempDir dir;
    const std::string path = dir / "folder";
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
    ASSERT_TRUE(SetPathTimes(path.c_str(), At(900000000, 0), At(950000000, 0)));
    ASSERT_TRUE(SetPathTimes(path.c_str(), FileTimeStamp{}, At(960000000, 0)));
    struct stat st = StatOf(path);
    EXPECT_EQ(st.st_atim.tv_sec, 900000000);
    EXPECT_EQ(st.st_mtim.tv_sec, 960000000);
}

TEST(FileTimes, MissingPathFails) {
    TempDir dir;
    EXPECT_FALSE(SetPathTimes((dir / "absent").c_str(), At(1, 0), At(1, 0)));
    EXPECT_FALSE(SetPathTimes(nullptr, At(1, 0), At(1, 0)));
}

TEST(FileTimes, CreationTimeIsSkippedWhereTheFileSystemHasNone) {
    TempDir dir;
    const std::string path = dir / "file";
    harbex::test::WriteFile(path, {1});
    EXPECT_FALSE(SetCreationTime(path.c_str(), timespec{1000000000, 0}));
    // No stray attribute is left behind.
    EXPECT_LT(lgetxattr(path.c_str(), "user.cifs.creationtime", nullptr, 0), 0);
}

TEST(FileTimes, CreationTimeOnNtfsThroughNtfs3g) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "mounting needs root";
    if (RunCommand("command -v mkntfs && command -v ntfs-3g").status != 0)
        GTEST_SKIP() << "ntfs-3g is not installed";
    TempDir dir;
    const std::string image = dir / "ntfs.img";
    const std::string mountPoint = dir / "mnt";
    ASSERT_EQ(mkdir(mountPoint.c_str(), 0755), 0);
    ASSERT_EQ(
        RunCommand("truncate -s 16M " + image + " && mkntfs -F -Q -q " + image + " 2>&1").status,
        0);
    if (RunCommand("ntfs-3g " + image + " " + mountPoint).status != 0)
        GTEST_SKIP() << "ntfs-3g could not mount (no FUSE here)";
    struct Unmount {
        std::string point;
        ~Unmount() { RunCommand("umount " + point); }
    } unmount{mountPoint};

    const std::string path = mountPoint + "/file";
    harbex::test::WriteFile(path, {1});
    ASSERT_TRUE(SetCreationTime(path.c_str(), timespec{1000000000, 100}));
    uint8_t value[8] = {};
    ASSERT_EQ(lgetxattr(path.c_str(), "system.ntfs_crtime", value, sizeof(value)), 8);
    uint64_t units = 0;
    for (int i = 7; i >= 0; --i)
        units = (units << 8) | value[i];
    EXPECT_EQ(units, 116444736000000000ULL + 1000000000ULL * 10000000ULL + 1);
}

}  // namespace
