#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>

#include "AsyncRead.h"
#include "TestSupport.h"

using namespace harbex::test;

namespace {

constexpr int64_t kMiB = 1024 * 1024;

class AsyncReadTest : public testing::Test {
protected:
    void SetUp() override {
        bytes_.resize(9 * kMiB + 100);
        std::mt19937 random(11);
        for (auto& byte : bytes_)
            byte = static_cast<uint8_t>(random());
        WriteFile(dir_ / "data", bytes_);
        fd_ = open((dir_ / "data").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd_, 0);
    }
    void TearDown() override { close(fd_); }

    TempDir dir_;
    std::vector<uint8_t> bytes_;
    int fd_ = -1;
};

TEST_F(AsyncReadTest, ReadsAcrossPiecesAsTheFileHoldsThem) {
    struct Range {
        int64_t offset;
        int64_t length;
    } ranges[] = {
        {0, 1}, {0, 4 * kMiB}, {3, 4 * kMiB + 1}, {kMiB + 7, 8 * kMiB}, {0, 9 * kMiB + 100}};
    for (const Range& range : ranges) {
        SCOPED_TRACE(range.offset);
        std::vector<uint8_t> buffer(range.length);
        AsyncReadStatus status = AsyncReadStatus::kFailed;
        EXPECT_EQ(KvReadAsyncData(buffer.data(), fd_, range.offset, range.length, &status),
                  range.length);
        EXPECT_EQ(status, AsyncReadStatus::kComplete);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), bytes_.begin() + range.offset));
    }
}

TEST_F(AsyncReadTest, ReadCutShortByTheEndFailsInsteadOfPaddingWithZeros) {
    // Two pieces: the first whole, the second runs past the end of the file.
    const int64_t offset = 5 * kMiB;
    std::vector<uint8_t> buffer(8 * kMiB, 0xEE);
    AsyncReadStatus status = AsyncReadStatus::kComplete;
    EXPECT_EQ(KvReadAsyncData(buffer.data(), fd_, offset, buffer.size(), &status), 0);
    EXPECT_EQ(status, AsyncReadStatus::kShort);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 4 * kMiB, bytes_.begin() + offset));
    EXPECT_TRUE(
        std::all_of(buffer.begin() + 4 * kMiB, buffer.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(AsyncReadTest, RefusesBadArguments) {
    std::vector<uint8_t> buffer(16);
    struct Case {
        void* buffer;
        int fd;
        int64_t offset;
        int64_t length;
    } cases[] = {{nullptr, fd_, 0, 16},        {buffer.data(), -1, 0, 16},
                 {buffer.data(), fd_, -1, 16}, {buffer.data(), fd_, 0, -16},
                 {buffer.data(), fd_, 0, 0},   {buffer.data(), fd_, INT64_MAX, 16}};
    for (const Case& c : cases) {
        AsyncReadStatus status = AsyncReadStatus::kComplete;
        EXPECT_EQ(KvReadAsyncData(c.buffer, c.fd, c.offset, c.length, &status), 0);
        EXPECT_EQ(status, AsyncReadStatus::kFailed);
    }
}

}  // namespace
