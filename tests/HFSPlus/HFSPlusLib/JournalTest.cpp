// The journal walk on the journaled fixture: deleted files come back, a
// damaged journal never stops the live listing, and the circular buffer wraps
// to the byte after the journal header.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "HFSPlusJournal.h"
#include "HFSPlusProgress.h"
#include "HFSPlusTestTrees.h"
#include "HFSPlusVolume.h"

using namespace harbex::test;

namespace {

void PutLE16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void PutLE32(Bytes& b, size_t at, uint32_t v) {
    PutLE16(b, at, static_cast<uint16_t>(v));
    PutLE16(b, at + 2, static_cast<uint16_t>(v >> 16));
}
void PutLE64(Bytes& b, size_t at, uint64_t v) {
    PutLE32(b, at, static_cast<uint32_t>(v));
    PutLE32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

// Where the journal info block and the journal lie in the image.
struct JournalPlace {
    uint64_t info;
    uint64_t journal;
    uint64_t size;
};
JournalPlace Locate(const Bytes& image) {
    const uint64_t info = uint64_t{GetBE32(image, 1024 + 12)} * GetBE32(image, 1024 + 40);
    const uint64_t journal = uint64_t{GetBE32(image, info + 36)} << 32 | GetBE32(image, info + 40);
    const uint64_t size = uint64_t{GetBE32(image, info + 44)} << 32 | GetBE32(image, info + 48);
    return {info, journal, size};
}

struct Listing {
    RESULT_CODE code = 0;
    std::vector<std::string> deleted;
    size_t live = 0;
};

Listing List(const Bytes& image) {
    HFSPlusMemoryDevice device(image, 512);
    CHFSPlusVolume volume(&device, false);
    Listing listing;
    RecordingBuilder builder;
    CHFSPlusQuickFileSystemSearchProgress progress(nullptr, true);
    listing.code = volume.QuickSearchFiles(&builder, &progress);
    for (IFileNode* node : builder.nodes) {
        if (node->IsDeleted())
            listing.deleted.push_back(node->GetFileName());
        else
            ++listing.live;
    }
    std::sort(listing.deleted.begin(), listing.deleted.end());
    return listing;
}

const std::vector<std::string> kDeleted = {"also gone.bin", "gone.txt"};
constexpr size_t kLive = 4;  // the root, Folder, stays.bin and kzpt.txt

struct DamageCase {
    const char* name;
    std::function<void(Bytes&, const JournalPlace&)> damage;
    bool deletedFound;
};

class JournalDamage : public ::testing::TestWithParam<DamageCase> {};

}  // namespace

TEST(JournalWalk, BringsBackTheDeletedFilesOnly) {
    const Listing listing = List(HFSPlusImage("hfsplus_journaled"));
    EXPECT_EQ(listing.code, 0u);
    EXPECT_EQ(listing.deleted, kDeleted);
}

TEST(JournalWalk, FollowsTheBufferAcrossItsEnd) {
    // Move the one transaction (block list, then one node) so that the list is
    // the last bytes of the journal and its node continues after the header.
    Bytes image = HFSPlusImage("hfsplus_journaled");
    const JournalPlace place = Locate(image);
    const uint32_t blhdr = ReadLE32(image.data() + place.journal + 32);
    const uint32_t jhdr = ReadLE32(image.data() + place.journal + 40);
    const uint32_t node = ReadLE32(image.data() + place.journal + jhdr + 16 + 16 + 8);
    const Bytes transaction(image.begin() + place.journal + jhdr,
                            image.begin() + place.journal + jhdr + blhdr + node);
    std::fill(image.begin() + place.journal + jhdr, image.begin() + place.journal + place.size, 0);
    std::copy(transaction.begin(), transaction.begin() + blhdr,
              image.begin() + place.journal + place.size - blhdr);
    std::copy(transaction.begin() + blhdr, transaction.end(), image.begin() + place.journal + jhdr);
    PutLE64(image, place.journal + 8, jhdr + node);
    PutLE64(image, place.journal + 16, jhdr + node);
    EXPECT_EQ(List(image).deleted, kDeleted);
}

TEST(JournalWalk, AStopRequestEndsTheListing) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_journaled"), 512);
    CHFSPlusVolume volume(&device, false);
    CountingSink sink;
    sink.continues = 3;
    RecordingBuilder builder;
    {
        CHFSPlusQuickFileSystemSearchProgress progress(&sink, false);
        EXPECT_EQ(ResultKindOf(volume.QuickSearchFiles(&builder, &progress)), kResultStopped);
    }
    ASSERT_FALSE(sink.records.empty());
    EXPECT_EQ(sink.records.back().state, PROGRESS_STATE_FINISHED);
}

TEST_P(JournalDamage, EndsCleanlyAndKeepsTheLiveFiles) {
    Bytes image = HFSPlusImage("hfsplus_journaled");
    GetParam().damage(image, Locate(image));
    const Listing listing = List(image);
    EXPECT_EQ(listing.code, 0u);
    EXPECT_EQ(listing.live, kLive);
    EXPECT_EQ(listing.deleted.empty(), !GetParam().deletedFound);
}

// Journal header (little-endian): 8 start, 16 end, 24 size, 32 block-list
// header size, 40 journal header size; the first block list follows it.
INSTANTIATE_TEST_SUITE_P(
    Cases, JournalDamage,
    ::testing::Values(
        DamageCase{"AsMade", [](Bytes&, const JournalPlace&) {}, true},
        DamageCase{"EndianMarkerSwapped",
                   [](Bytes& b, const JournalPlace& p) { PutLE32(b, p.journal + 4, 0x78563412); },
                   false},
        DamageCase{"HeaderSizeZero",
                   [](Bytes& b, const JournalPlace& p) { PutLE32(b, p.journal + 40, 0); }, false},
        DamageCase{"HeaderSizeOdd",
                   [](Bytes& b, const JournalPlace& p) { PutLE32(b, p.journal + 40, 513); }, false},
        DamageCase{"ListHeaderSizeZero",
                   [](Bytes& b, const JournalPlace& p) { PutLE32(b, p.journal + 32, 0); }, false},
        DamageCase{"ListHeaderSizeHuge",
                   [](Bytes& b, const JournalPlace& p) { PutLE32(b, p.journal + 32, 0xFFFFFFF0); },
                   false},
        DamageCase{"JournalSizeZero",
                   [](Bytes& b, const JournalPlace& p) {
                       PutLE64(b, p.journal + 24, 0);
                       PutBE64(b, p.info + 44, 0);
                   },
                   false},
        DamageCase{"EndPastTheJournal",
                   [](Bytes& b, const JournalPlace& p) { PutLE64(b, p.journal + 16, p.size + 7); },
                   false},
        DamageCase{"JournalPastTheVolume",
                   [](Bytes& b, const JournalPlace& p) { PutBE64(b, p.info + 36, 1ull << 40); },
                   false},
        DamageCase{"BlockCountBeyondTheList",
                   [](Bytes& b, const JournalPlace& p) { PutLE16(b, p.journal + 512 + 2, 0xFFFF); },
                   false},
        DamageCase{"BlockOf4GiB",
                   [](Bytes& b, const JournalPlace& p) {
                       PutLE32(b, p.journal + 512 + 16 + 16 + 8, 0xFFFFFFFF);
                   },
                   false},
        DamageCase{"BlockOfOddSize",
                   [](Bytes& b, const JournalPlace& p) {
                       PutLE32(b, p.journal + 512 + 16 + 16 + 8, 4095);
                   },
                   false}),
    [](const auto& info) { return std::string(info.param.name); });
