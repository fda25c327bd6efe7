// The volume-header test, the byte-order converters, dates and names.

#include <gtest/gtest.h>

#include <functional>

#include "HFSPlusEndian.h"
#include "HFSPlusTestImages.h"
#include "HFSPlusText.h"
#include "HFSPlusVolumeHeader.h"

using namespace harbex::test;

namespace {

constexpr size_t kHeader = 1024;

std::vector<uint8_t> FixtureHeader() {
    const auto& image = HFSPlusImage("hfsplus_2048");
    return {image.begin() + kHeader, image.begin() + kHeader + 512};
}

struct HeaderCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> change;
    bool valid;
};

class VolumeHeaderCheck : public ::testing::TestWithParam<HeaderCase> {};

}  // namespace

TEST_P(VolumeHeaderCheck, AcceptsOnlySoundHeaders) {
    std::vector<uint8_t> header = FixtureHeader();
    ASSERT_EQ(header.size(), 512u);
    GetParam().change(header);
    EXPECT_EQ(IsValidHFSPlusVolumeHeader(header.data(), 512), GetParam().valid);
}

// Offsets: 0 signature, 2 version, 12 journal info block, 40 block size,
// 44 total blocks, 48 free blocks, 272 catalog logical size, 284 its blocks.
INSTANTIATE_TEST_SUITE_P(
    Cases, VolumeHeaderCheck,
    ::testing::Values(
        HeaderCase{"AsMade", [](auto&) {}, true},
        HeaderCase{"HfsxVersion5", [](auto& h) { PutBE16(h, 0, 0x4858), PutBE16(h, 2, 5); }, true},
        HeaderCase{"Version17", [](auto& h) { PutBE16(h, 2, 17); }, false},
        HeaderCase{"OtherSignature", [](auto& h) { PutBE16(h, 0, 0x4244); }, false},
        HeaderCase{
            "BlockSize4096",
            [](auto& h) {
                PutBE32(h, 40, 4096);
                PutBE64(h, 272,
                        4096ull * ((uint32_t(h[284]) << 24 | h[285] << 16 | h[286] << 8 | h[287])));
            },
            true},
        HeaderCase{"BlockSize4095", [](auto& h) { PutBE32(h, 40, 4095); }, false},
        // A zero block size would later divide by zero.
        HeaderCase{"BlockSizeZero",
                   [](auto& h) {
                       PutBE32(h, 40, 0);
                       PutBE64(h, 272, 0);
                   },
                   false},
        HeaderCase{"BlockSizeNotPowerOfTwo",
                   [](auto& h) {
                       PutBE32(h, 40, 1536);
                       PutBE32(h, 284, 2);
                       PutBE64(h, 272, 3072);
                   },
                   false},
        HeaderCase{"CatalogOneBlockShort",
                   [](auto& h) {
                       const uint64_t size =
                           uint64_t(h[276]) << 24 | h[277] << 16 | h[278] << 8 | h[279];
                       PutBE64(h, 272, size - 2048);
                   },
                   false},
        HeaderCase{"FreeAboveTotal", [](auto& h) { PutBE32(h, 48, 0xFFFFFFFF); }, false},
        HeaderCase{"JournalBlockAboveTotal", [](auto& h) { PutBE32(h, 12, 0xFFFFFFFF); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VolumeHeaderCheck, RefusesNullAndShortBuffers) {
    const std::vector<uint8_t> header = FixtureHeader();
    EXPECT_FALSE(IsValidHFSPlusVolumeHeader(nullptr, 512));
    EXPECT_FALSE(IsValidHFSPlusVolumeHeader(header.data(), 511));
}

TEST(HFSPlusDates, CountFrom1904AndKeepZero) {
    EXPECT_EQ(HFSPlusDateToFileTime(0), 0u);
    EXPECT_EQ(HFSPlusDateToFileTime(1), 95616288010000000ull);
    // 2001-01-01T00:00:00Z is 3,061,152,000 seconds after 1904.
    EXPECT_EQ(HFSPlusDateToFileTime(3061152000u), 126227808000000000ull);
}

TEST(HFSPlusNames, CatalogKeyShowsSlashAsColonAndCapsTheLength) {
    HFSPlusCatalogKey key{};
    const char16_t name[] = u"a/b";
    key.keyLength = __builtin_bswap16(6 + 6);
    key.parentID = __builtin_bswap32(2);
    key.nodeName.length = __builtin_bswap16(3);
    for (int i = 0; i < 3; ++i)
        key.nodeName.unicode[i] = __builtin_bswap16(static_cast<uint16_t>(name[i]));
    ASSERT_EQ(filpCatalogKey(&key), 0u);
    EXPECT_EQ(uint32_t{key.parentID}, 2u);
    EXPECT_EQ(HFSPlusNameToUtf8(key.nodeName.unicode, key.nodeName.length), "a:b");

    // A stored length beyond 255 converts 255 units and no more.
    HFSPlusCatalogKey huge{};
    huge.nodeName.length = __builtin_bswap16(0xFFFF);
    for (auto& unit : huge.nodeName.unicode)
        unit = __builtin_bswap16('x');
    ASSERT_EQ(filpCatalogKey(&huge), 0u);
    EXPECT_EQ(HFSPlusNameToUtf8(huge.nodeName.unicode, huge.nodeName.length),
              std::string(255, 'x'));
    EXPECT_NE(filpCatalogKey(nullptr), 0u);
}

TEST(HFSPlusNames, SkipLeadingNulsAndConvertNonAscii) {
    const uint16_t hidden[] = {0, 0, 0, 0, 'H', 'F', 'S'};
    EXPECT_EQ(HFSPlusNameToUtf8(hidden, 7), "HFS");
    const uint16_t snowman[] = {0x00DC, ' ', 0x540D, 0x2603};
    EXPECT_EQ(HFSPlusNameToUtf8(snowman, 4), "\xC3\x9C \xE5\x90\x8D\xE2\x98\x83");
    EXPECT_EQ(HFSPlusNameToUtf8(nullptr, 3), "");
}
