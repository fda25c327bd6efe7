#include <gtest/gtest.h>

#include <vector>

#include "NTFSIndexRecord.h"
#include "NTFSRecordBuilder.h"
#include "NTFSUpdateSequence.h"

using namespace harbex::test;

namespace {

struct Entry {
    uint64_t parent;
    uint16_t flags;
};

std::vector<uint8_t> IndexBlock(const std::vector<Entry>& entries) {
    std::vector<uint8_t> block(4096, 0);
    std::memcpy(block.data(), "INDX", 4);
    PutLE(block, 4, 40, 2);
    PutLE(block, 6, 9, 2);
    PutLE(block, 16, 3, 8);
    PutLE(block, 24, 40, 4);
    size_t at = 64;
    for (const Entry& entry : entries) {
        PutLE(block, at + 8, 88, 2);
        PutLE(block, at + 12, entry.flags, 2);
        PutLE(block, at + 16, entry.parent, 8);
        PutLE(block, at + 56, 4096, 8);
        PutLE(block, at + 64, 100, 8);
        block[at + 80] = 1;
        at += 88;
    }
    PutLE(block, at + 8, 16, 2);
    PutLE(block, at + 12, 2, 2);
    PutLE(block, 28, at + 16 - 24, 4);
    PutLE(block, 32, 4096 - 24, 4);
    PutLE(block, 40, 0x0303, 2);
    NTFSUpdateSequence::Redo(block.data(), 4096);
    return block;
}

}  // namespace

TEST(NTFSIndexBlock, EntriesMustNameOneParent) {
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        bool valid;
    } cases[] = {
        {"one parent", {{40, 0}, {40, 0}}, true},
        {"two parents", {{40, 0}, {41, 0}}, false},
        {"sub-node entries are not compared", {{40, 0}, {41, 1}, {40, 0}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> block = IndexBlock(c.entries);
        const std::vector<uint8_t> before = block;
        EXPECT_EQ(CIndexRecord::IsValid(block.data(), 4096), c.valid);
        EXPECT_EQ(block, before);
    }
    std::vector<uint8_t> block = IndexBlock({{40, 0}});
    EXPECT_EQ(CIndexRecord::GetParentFileReference(block.data(), 4096), 40);
    EXPECT_EQ(CIndexRecord::GetVCN(block.data()), 3);
    block[2047] ^= 1;  // a damaged sector end
    block[2046] ^= 1;
    EXPECT_FALSE(CIndexRecord::IsValid(block.data(), 4096));
}

TEST(NTFSLogPage, UpdateSequenceOfNineWords) {
    std::vector<uint8_t> page(4096, 0);
    std::memcpy(page.data(), "RCRD", 4);
    PutLE(page, 4, 40, 2);
    PutLE(page, 6, 9, 2);
    PutLE(page, 40, 7, 2);
    NTFSUpdateSequence::Redo(page.data(), 4096);
    EXPECT_TRUE(CRCRDRecord::IsValid(page.data(), 4096));
    PutLE(page, 6, 8, 2);
    EXPECT_FALSE(CRCRDRecord::IsValid(page.data(), 4096));
}
