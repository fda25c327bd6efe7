// The SQLite analyser: headers it takes, and databases measured page by
// page up to the first page no database has.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "FCPEvtAnalyser.h"
#include "RawTestSupport.h"

using namespace harbex::test;

namespace {

// A database of `pages` pages: the header page, then table leaf pages.
std::vector<uint8_t> MakeDatabase(uint32_t pageSize, uint32_t pages) {
    std::vector<uint8_t> db(size_t(pageSize) * pages, 0);
    std::memcpy(db.data(), "SQLite format 3", 16);
    db[16] = uint8_t(pageSize >> 8);
    db[17] = uint8_t(pageSize);
    db[18] = db[19] = 1;
    db[31] = uint8_t(pages);
    db[59] = 1;
    db[100] = 13;
    for (uint32_t page = 1; page < pages; ++page) {
        uint8_t* p = db.data() + size_t(page) * pageSize;
        p[0] = 13;
        p[4] = 3;  // three cells
        for (uint32_t i = 8; i < pageSize; ++i)
            p[i] = uint8_t('a' + i % 26);
    }
    return db;
}

}  // namespace

TEST(SqliteHeader, PageSizesOfWholeKiBAndKnownEncodings) {
    struct Case {
        uint16_t pageSize;
        uint8_t encoding;
        bool taken;
    };
    for (const Case c :
         {Case{512, 1, false}, Case{1024, 1, true}, Case{4096, 3, true}, Case{64512, 2, true},
          Case{1, 1, false}, Case{4096, 4, false}, Case{3072, 1, true}}) {
        std::vector<uint8_t> header(512, 0);
        std::memcpy(header.data(), "SQLite format 3", 16);
        header[16] = uint8_t(c.pageSize >> 8);
        header[17] = uint8_t(c.pageSize);
        header[59] = c.encoding;
        BruteForce::CFCPEvtAnalyser analyser;
        CRawFileInfo info;
        EXPECT_EQ(analyser.AnalyseBuffer(header.data(), info) == 1, c.taken) << c.pageSize;
    }
}

class SqliteCarving : public ::testing::TestWithParam<uint32_t> {};

TEST_P(SqliteCarving, EndsAtTheFirstPageNoDatabaseHas) {
    const uint32_t sector = GetParam();
    struct Case {
        const char* what;
        uint32_t pageSize;
        std::vector<uint8_t> after;  // the first bytes of the page after the database
    };
    const Case cases[] = {
        {"text", 1024, {'h', 'e', 'l', 'l', 'o'}},
        {"byte 20", 4096, {20, 0, 0, 0}},
        {"no page type", 1024, {3, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> db = MakeDatabase(c.pageSize, 12);
        std::vector<uint8_t> image = RandomImage(sector, uint32_t(256 * 1024 / sector), {});
        const size_t at = size_t(c.pageSize) * 4;
        Place(image, at, db);
        Place(image, at + db.size(), c.after);
        const auto carved = CarveImage(image, sector);
        const auto found = carved.find(int64_t(at / sector));
        ASSERT_NE(found, carved.end()) << c.what;
        EXPECT_EQ(found->second.size, int64_t(db.size())) << c.what;
        EXPECT_EQ(found->second.name.substr(found->second.name.size() - 9), ".FCPEVENT") << c.what;
    }
}

TEST_P(SqliteCarving, FreelistLikeRunsEndTheDatabaseBeforeThem) {
    const uint32_t sector = GetParam();
    const uint32_t pageSize = 1024;
    const std::vector<uint8_t> db = MakeDatabase(pageSize, 8);
    std::vector<uint8_t> image(size_t(pageSize) * 40, 0);
    Place(image, 0, db);
    // Six pages that start like freelist or overflow pages but whose link
    // bytes do not follow on from one another.
    for (uint32_t k = 0; k < 6; ++k) {
        uint8_t* page = image.data() + db.size() + size_t(k) * pageSize;
        page[3] = uint8_t(40 + 3 * k);
        page[4] = 0;
        page[8] = 0xAB;
    }
    const auto carved = CarveImage(image, sector);
    const auto found = carved.find(0);
    ASSERT_NE(found, carved.end());
    EXPECT_EQ(found->second.size, int64_t(db.size()));
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, SqliteCarving, ::testing::Values(512u, 4096u));
