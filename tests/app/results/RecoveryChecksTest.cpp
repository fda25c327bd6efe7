#include <gtest/gtest.h>

#include <string>

#include <QTemporaryDir>

#include <cstdint>
#include <limits>
#include <ostream>

#include "RecoveryChecks.h"

namespace {

using RecoveryChecks::Outcome;

struct RoomCase {
    int64_t freeBytes;
    uint64_t selected;
    bool room;
};

void PrintTo(const RoomCase& c, std::ostream* out) {
    *out << c.freeBytes << " free for " << c.selected;
}

class RoomTest : public ::testing::TestWithParam<RoomCase> {};

TEST_P(RoomTest, NeedsMoreThanTheFilesPlusFivePerCent) {
    EXPECT_EQ(RecoveryChecks::HasRoomFor(GetParam().freeBytes, GetParam().selected),
              GetParam().room);
}

constexpr uint64_t kHuge = std::numeric_limits<uint64_t>::max();
constexpr int64_t kMostFree = std::numeric_limits<int64_t>::max();

INSTANTIATE_TEST_SUITE_P(Sizes, RoomTest,
                         ::testing::Values(RoomCase{1050, 1000, false}, RoomCase{1051, 1000, true},
                                           // 1019 x 105 / 100 = 1069.95, rounded down.
                                           RoomCase{1069, 1019, false}, RoomCase{1070, 1019, true},
                                           RoomCase{1, 0, true}, RoomCase{0, 0, false},
                                           // Unreadable free space counts as none.
                                           RoomCase{-1, 0, false},
                                           // A size near the top does not wrap into a small need.
                                           RoomCase{kMostFree, kHuge / 2, false}),
                         [](const auto& info) { return std::to_string(info.index); });

TEST(RecoveryChecksTest, NeedIsExactForLargeSizes) {
    for (uint64_t size : {uint64_t{1} << 62, kHuge / 105 * 100, uint64_t{123456789012345}}) {
        const auto wide = static_cast<unsigned __int128>(size) * 105 / 100;
        EXPECT_EQ(RecoveryChecks::NeededBytes(size), static_cast<uint64_t>(wide)) << size;
    }
}

TEST(RecoveryChecksTest, ChecksInOrderWriteDeviceSpace) {
    struct Case {
        bool writable;
        bool sameDevice;
        int64_t freeBytes;
        Outcome outcome;
    };
    for (const Case& c :
         {Case{false, true, 0, Outcome::kNotWritable}, Case{true, true, 0, Outcome::kSameDevice},
          Case{true, false, 105, Outcome::kNoSpace}, Case{true, false, 106, Outcome::kPass}}) {
        RecoveryChecks::Environment environment;
        environment.writable = [&](const QString&) { return c.writable; };
        environment.onScannedDevice = [&](const QString&) { return c.sameDevice; };
        environment.freeBytes = [&](const QString&) { return c.freeBytes; };
        EXPECT_EQ(RecoveryChecks::Check("/dest", 100, environment), c.outcome);
    }
}

TEST(RecoveryChecksTest, SystemFreeSpaceOfAFolderAndOfNothing) {
    QTemporaryDir folder;
    const RecoveryChecks::Environment system = RecoveryChecks::SystemEnvironment();
    EXPECT_GT(system.freeBytes(folder.path()), 0);
    EXPECT_TRUE(system.writable(folder.path()));
    EXPECT_EQ(system.freeBytes(folder.path() + "/missing/deeper"), 0);
    EXPECT_FALSE(system.writable(folder.path() + "/missing"));
}

}  // namespace
