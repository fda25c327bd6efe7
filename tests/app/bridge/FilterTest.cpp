#include <gtest/gtest.h>

#include <map>
#include <string>

#include "FileTypeManager.h"
#include "KvUIFilter.h"
#include "RecoveryFilter.h"
#include "TestNode.h"

namespace {

// The category bits the interface sets are crossed against the engine's ids
// (music and movies): each mask lets exactly its own kind of file through.
TEST(ScanFilter, MaskSelectsTheCategoriesItNames) {
    IRecoveryFilter* filter = KvUIFilter::instance()->GetFilter();
    ASSERT_NE(filter, nullptr);
    struct Case {
        unsigned int mask;
        const char* passes;
        const char* blocked;
    } cases[] = {
        {FILE_MASK_MUSIC, "song.mp3", "clip.mp4"},
        {FILE_MASK_MOVIE, "clip.mp4", "song.mp3"},
        {FILE_MASK_PICTURE | FILE_MASK_DOCUMENT, "a.jpg", "b.zip"},
        {FILE_MASK_OTHER, "c.xyz", "a.jpg"},
    };
    TestNode folder("Photos", true);
    for (const Case& c : cases) {
        KvUIFilter::instance()->ResetFilter(c.mask);
        TestNode passes(c.passes);
        TestNode blocked(c.blocked);
        EXPECT_TRUE(filter->IsFileNodeValid(&passes)) << c.mask;
        EXPECT_FALSE(filter->IsFileNodeValid(&blocked)) << c.mask;
        EXPECT_TRUE(filter->IsFileNodeValid(&folder));
    }
    for (unsigned int all : {0u, 127u}) {
        KvUIFilter::instance()->ResetFilter(all);
        for (const char* name : {"song.mp3", "a.jpg", "c.xyz"}) {
            TestNode node(name);
            EXPECT_TRUE(filter->IsFileNodeValid(&node)) << all << " " << name;
        }
    }
}

}  // namespace
