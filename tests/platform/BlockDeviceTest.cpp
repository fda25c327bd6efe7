#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "BlockDevice.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

TEST(BlockDeviceTest, OpensReadOnlyAndClosedOnExec) {
    TempDir dir;
    WriteFile(dir / "image", std::vector<uint8_t>(4096 + 17, 1));
    const int fd = OpenBlockDeviceReadOnly((dir / "image").c_str());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_ACCMODE, O_RDONLY);
    EXPECT_TRUE(fcntl(fd, F_GETFD) & FD_CLOEXEC);
    BlockDeviceGeometry geometry;
    ASSERT_TRUE(QueryBlockDeviceGeometry(fd, geometry));
    EXPECT_EQ(geometry.sectorSize, 512u);
    EXPECT_EQ(geometry.sizeBytes, 4096u + 17);
    close(fd);
    EXPECT_EQ(OpenBlockDeviceReadOnly(nullptr), -1);
}

TEST(BlockDeviceTest, DirectoriesAreNotDevices) {
    TempDir dir;
    const int fd = OpenBlockDeviceReadOnly(dir.path().c_str());
    ASSERT_GE(fd, 0);
    BlockDeviceGeometry geometry;
    EXPECT_FALSE(QueryBlockDeviceGeometry(fd, geometry));
    close(fd);
}

TEST(BlockDeviceTest, PermissionErrors) {
    EXPECT_TRUE(IsPermissionError(EACCES));
    EXPECT_TRUE(IsPermissionError(EPERM));
    EXPECT_FALSE(IsPermissionError(ENOENT));
    EXPECT_FALSE(IsPermissionError(EBUSY));
}

TEST(BlockDeviceTest, LoopDeviceReportsItsLogicalSectorSize) {
    if (!IsRoot())
        GTEST_SKIP() << "loop devices need root";
    TempDir dir;
    WriteFile(dir / "image", std::vector<uint8_t>(64 * 4096, 2));
    for (const int sectorSize : {512, 4096}) {
        SCOPED_TRACE(sectorSize);
        const CommandResult attach =
            RunCommand("losetup -f --show --sector-size " + std::to_string(sectorSize) + " " +
                       (dir / "image").string() + " 2>/dev/null");
        if (attach.status != 0)
            GTEST_SKIP() << "no free loop device could be attached";
        const std::string node = attach.output.substr(0, attach.output.find('\n'));
        const int fd = OpenBlockDeviceReadOnly(node.c_str());
        BlockDeviceGeometry geometry;
        EXPECT_TRUE(fd >= 0 && QueryBlockDeviceGeometry(fd, geometry));
        EXPECT_EQ(geometry.sectorSize, static_cast<uint32_t>(sectorSize));
        EXPECT_EQ(geometry.sizeBytes, 64u * 4096);
        if (fd >= 0)
            close(fd);
        RunCommand("losetup -d " + node);
    }
}

}  // namespace
