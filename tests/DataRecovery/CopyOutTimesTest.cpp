#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "CopyOutFakes.h"
#include "DataRecovery.h"
#include "FileTimeStamps.h"
#include "TestSupport.h"

namespace {

using namespace harbex::test;
namespace fs = std::filesystem;

// 100-ns units since 1601 of a moment given in seconds (and 100-ns units) since 1970.
constexpr _FILETIME At(int64_t unixSeconds, int64_t units = 0) {
    return _FILETIME(116444736000000000LL + unixSeconds * 10000000LL + units);
}

struct stat StatOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
}

TEST(FileTimeToStamp, ConvertsStraightToUtc) {
    struct Case {
        _FILETIME time;
        bool set;
        time_t seconds;
        long nanoseconds;
    };
    for (const Case& c : {Case{0, false, 0, 0}, Case{At(0), true, 0, 0},
                          Case{At(1234567890, 1234567), true, 1234567890, 123456700},
                          Case{At(-1, 5), true, -1, 500}, Case{~_FILETIME{0}, false, 0, 0}}) {
        const FileTimeStamp stamp = FileTimeToStamp(c.time);
        EXPECT_EQ(stamp.set, c.set) << c.time;
        if (c.set) {
            EXPECT_EQ(stamp.time.tv_sec, c.seconds);
            EXPECT_EQ(stamp.time.tv_nsec, c.nanoseconds);
        }
    }
}

// dest/Top/dir/file.txt recovered from a tree Top > dir > file.txt.
struct TimesFixture {
    TimesFixture()
        : device(std::vector<uint8_t>(64 * 1024, 0x42)),
          top("Top", 0, {}, true),
          folder("dir", 0, {}, true),
          file("file.txt", 5000, {DataRun(1, 2)}),
          searcher({Partition(8)}),
          recovery(CreateDataRecoveryObj()) {
        top.AddChild(&folder);
        folder.AddChild(&file);
        top.modification = At(1000000000);
        folder.modification = At(1100000000, 5);
        folder.access = At(1150000000);
        file.creation = At(1200000000);
        file.modification = At(1300000000, 1234567);
        file.access = At(1400000000);
        EXPECT_EQ(recovery->Initialize(&searcher, &device), kResultSuccess);
        IFileReader* reader = recovery->SetRecoverNode(&file);
        EXPECT_NE(reader, nullptr);
        if (reader != nullptr)
            reader->Release();
    }
    ~TimesFixture() {
        folder.RemoveChild(&file);
        top.RemoveChild(&folder);
    }

    MemoryDevice device;
    TestNode top;
    TestNode folder;
    TestNode file;
    FixedPartitionsSearcher searcher;
    RecoveryPtr recovery;
};

TEST(CopyOutTimes, ReadBackExactlyWhateverTheTimeZone) {
    for (const char* zone : {"UTC0", "America/New_York", "Asia/Kolkata"}) {
        SCOPED_TRACE(zone);
        ScopedTimeZone tz(zone);
        TempDir dir;
        TimesFixture f;
        const fs::path path = dir.path() / "Top" / "dir" / "file.txt";
        fs::create_directories(path.parent_path());
        ASSERT_EQ(f.recovery->RecoverTo(path.c_str(), nullptr, 0), kResultSuccess);

        const struct stat st = StatOf(path);
        EXPECT_EQ(st.st_mtim.tv_sec, 1300000000);
        EXPECT_EQ(st.st_mtim.tv_nsec, 123456700);
        EXPECT_EQ(st.st_atim.tv_sec, 1400000000);
        // The creation time does not stand in for the modification time.
        EXPECT_NE(st.st_mtim.tv_sec, 1200000000);

        const struct stat folder = StatOf(dir.path() / "Top" / "dir");
        EXPECT_EQ(folder.st_mtim.tv_sec, 1100000000);
        EXPECT_EQ(folder.st_mtim.tv_nsec, 500);
        EXPECT_EQ(folder.st_atim.tv_sec, 1150000000);
        EXPECT_EQ(StatOf(dir.path() / "Top").st_mtim.tv_sec, 1000000000);
    }
}

TEST(CopyOutTimes, TheDestinationFolderKeepsItsOwnTimes) {
    TempDir dir;
    TimesFixture f;
    // No folder for Top here: the walk must stop at the destination.
    const fs::path destination = dir.path() / "restore";
    const fs::path path = destination / "dir" / "file.txt";
    fs::create_directories(path.parent_path());
    const struct stat before = StatOf(destination);
    ASSERT_EQ(f.recovery->RecoverTo(path.c_str(), nullptr, 0), kResultSuccess);
    EXPECT_EQ(StatOf(destination / "dir").st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(StatOf(destination).st_mtim.tv_sec, before.st_mtim.tv_sec);
}

TEST(CopyOutTimes, UnknownTimesLeaveTheFileAndFoldersAlone) {
    TempDir dir;
    TimesFixture f;
    f.file.creation = f.file.modification = f.file.access = 0;
    f.folder.modification = f.folder.access = 0;
    const fs::path path = dir.path() / "Top" / "dir" / "file.txt";
    fs::create_directories(path.parent_path());
    ASSERT_EQ(f.recovery->RecoverTo(path.c_str(), nullptr, 0), kResultSuccess);
    const time_t now = time(nullptr);
    EXPECT_GE(StatOf(path).st_mtim.tv_sec, now - 60);
    EXPECT_GE(StatOf(dir.path() / "Top" / "dir").st_mtim.tv_sec, now - 60);
}

}  // namespace
