#include <gtest/gtest.h>

#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QVariantList>
#include <QVariantMap>

#include <fstream>

#include "KvDeviceMonitor.h"
#include "KvDiskRelay.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "QtWait.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace bridgetest;
using harbex::test::TempDir;

struct Post {
    QString name;
    QVariant object;
};

// Every attach and detach post made while it lives.
class DevicePosts : public QObject {
public:
    DevicePosts() {
        connect(
            KvNotificationCenter::defaultCenter(), &KvNotificationCenter::notified, this,
            [this](const QString& name, const QVariant& object) {
                if (name == kvnote::kRefreshAttachDevice || name == kvnote::kRefreshDetachDevice)
                    posts.push_back({name, object});
            });
    }
    std::vector<Post> posts;
};

class FakeSysfs {
public:
    void SetSize(const std::string& name, int64_t sectors) {
        fs::create_directories(root / "class" / "block" / name);
        std::ofstream(root / "class" / "block" / name / "size") << sectors << "\n";
    }
    void SetModel(const std::string& name, const std::string& model) {
        fs::create_directories(root / "class" / "block" / name / "device");
        std::ofstream(root / "class" / "block" / name / "device" / "model") << model << "\n";
    }
    void Remove(const std::string& name) { fs::remove_all(root / "class" / "block" / name); }

    TempDir dir;
    fs::path root = dir / "sys";
};

QVariantList Attached(const QString& path, const QString& name, qint64 bytes, bool disk) {
    return {QVariantMap{
        {"VolumePath", path}, {"VolumeName", name}, {"VolumeSize", bytes}, {"isDisk", disk}}};
}

TEST(DiskRelay, EachArrivalAloneEachRemovalOnceWithItsPath) {
    DevicePosts log;
    KvDiskRelay relay;
    relay.DiskAppeared({"/dev/sdb", "Stick", 8000000, false});
    relay.DiskAppearedWithVolume({"/dev/sdb1", "", 7000000, true});
    relay.DiskDisappeared("/dev/sdb1");
    relay.DiskDisappeared("/dev/sdb1");
    relay.DiskDisappeared("/dev/sdb");
    ASSERT_EQ(log.posts.size(), 4u);
    EXPECT_EQ(log.posts[0].object.toList(), Attached("/dev/sdb", "Stick", 8000000, true));
    EXPECT_EQ(log.posts[1].object.toList(), Attached("/dev/sdb1", "", 7000000, false));
    EXPECT_EQ(log.posts[2].name, kvnote::kRefreshDetachDevice);
    EXPECT_EQ(log.posts[2].object.toMap(), (QVariantMap{{"USBPath", "/dev/sdb1"}}));
    EXPECT_EQ(log.posts[3].object.toMap(), (QVariantMap{{"USBPath", "/dev/sdb"}}));

    // Back again, it can leave again.
    relay.DiskAppearedWithVolume({"/dev/sdb1", "", 7000000, false});
    relay.DiskDisappeared("/dev/sdb1");
    EXPECT_EQ(log.posts.size(), 6u);
}

TEST(DeviceMonitor, SizeChangesBecomeArrivalsAndRemovals) {
    FakeSysfs sysfs;
    sysfs.SetSize("sda", 1000);
    sysfs.SetSize("sda1", 500);
    sysfs.SetSize("loop0", 0);
    KvDeviceMonitor monitor(sysfs.root);
    monitor.prime();
    DevicePosts log;

    // Present at the start, or still empty: nothing to tell.
    monitor.handle({{"add", "sda", true}, {"change", "sda1", false}, {"change", "loop0", true}});
    EXPECT_TRUE(log.posts.empty());

    // Attached with a partition: each arrives alone, in event order, a disk
    // with its model's name.
    sysfs.SetSize("loop0", 2048);
    sysfs.SetSize("loop0p1", 1024);
    sysfs.SetModel("loop0", "Card Reader     ");
    monitor.handle({{"change", "loop0", true}, {"add", "loop0p1", false}});
    ASSERT_EQ(log.posts.size(), 2u);
    EXPECT_EQ(log.posts[0].name, kvnote::kRefreshAttachDevice);
    EXPECT_EQ(log.posts[0].object.toList(),
              Attached("/dev/loop0", "Card Reader", 2048 * 512, true));
    EXPECT_EQ(log.posts[1].object.toList(), Attached("/dev/loop0p1", "", 1024 * 512, false));

    // A repeated change of a medium already there is no new arrival.
    monitor.handle({{"change", "loop0", true}});
    EXPECT_EQ(log.posts.size(), 2u);

    // Detached: one post per medium that left, with its device node, as the
    // results window compares it with the device it scans; unknown devices
    // are ignored.
    sysfs.Remove("loop0p1");
    sysfs.SetSize("loop0", 0);
    monitor.handle(
        {{"remove", "loop0p1", false}, {"change", "loop0", true}, {"remove", "sdz", true}});
    ASSERT_EQ(log.posts.size(), 4u);
    EXPECT_EQ(log.posts[2].name, kvnote::kRefreshDetachDevice);
    EXPECT_EQ(log.posts[2].object.toMap(), (QVariantMap{{"USBPath", "/dev/loop0p1"}}));
    EXPECT_EQ(log.posts[3].object.toMap(), (QVariantMap{{"USBPath", "/dev/loop0"}}));

    // A kernel name with "!" has its device node in a folder.
    sysfs.SetSize("cciss!c0d0", 8);
    monitor.handle({{"add", "cciss!c0d0", true}});
    ASSERT_EQ(log.posts.size(), 5u);
    EXPECT_EQ(log.posts[4].object.toList(), Attached("/dev/cciss/c0d0", "", 8 * 512, true));
}

// A socket of our own on the kernel's device events: tells whether this
// machine delivers them at all.
class KernelEvents {
public:
    KernelEvents() {
        fd_ = socket(AF_NETLINK, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
        sockaddr_nl address{};
        address.nl_family = AF_NETLINK;
        address.nl_groups = 1;
        if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~KernelEvents() {
        if (fd_ >= 0)
            close(fd_);
    }
    bool Arrived() {
        pollfd ready{fd_, POLLIN, 0};
        return fd_ >= 0 && poll(&ready, 1, 0) == 1;
    }

private:
    int fd_ = -1;
};

bool HasAttach(const std::vector<Post>& posts, const QString& path) {
    for (const Post& post : posts) {
        if (post.name != kvnote::kRefreshAttachDevice)
            continue;
        for (const QVariant& record : post.object.toList()) {
            if (record.toMap().value("VolumePath") == path)
                return record.toMap().value("isDisk").toBool() &&
                       record.toMap().value("VolumeSize").toLongLong() == (1 << 20);
        }
    }
    return false;
}

bool HasDetach(const std::vector<Post>& posts, const QString& path) {
    for (const Post& post : posts) {
        if (post.name == kvnote::kRefreshDetachDevice &&
            post.object.toMap().value("USBPath") == path)
            return true;
    }
    return false;
}

TEST(DeviceMonitor, LoopDeviceAttachedAndDetachedIsReported) {
    if (!harbex::test::IsRoot())
        GTEST_SKIP() << "loop devices need root";
    TempDir dir;
    const fs::path image = dir / "medium.img";
    harbex::test::WriteFile(image, std::vector<uint8_t>(1 << 20, 0));
    KvDeviceMonitor monitor;
    if (!monitor.start())
        GTEST_SKIP() << "no device events can be heard here";
    KernelEvents kernel;
    DevicePosts log;

    auto loop = std::make_unique<harbex::test::LoopDevice>(image, false);
    HARBEX_REQUIRE_LOOP(*loop);
    const QString path = QString::fromStdString(loop->device());
    const bool attached = WaitFor([&] { return HasAttach(log.posts, path); }, 10000);
    if (!attached && !kernel.Arrived())
        GTEST_SKIP() << "the kernel delivers no device events here";
    ASSERT_TRUE(attached);

    loop.reset();
    EXPECT_TRUE(WaitFor([&] { return HasDetach(log.posts, path); }, 10000));
}

}  // namespace
