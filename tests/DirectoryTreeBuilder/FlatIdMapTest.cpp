#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <unordered_map>

#include "FlatIdMap.h"
#include "NodeIdIndex.h"

namespace {

// Random inserts and erases over a narrow key range that keeps the table about
// two thirds full (long probe runs, some wrapping around its end), checked
// against a plain map.
TEST(FlatIdMapTest, MatchesAPlainMapThroughInsertsAndErases) {
    constexpr long long kSmallest = std::numeric_limits<long long>::min();
    const long long keys[] = {kSmallest, -1, 0, 1, 2, 3, 17, 64, 1000, 4096, 99999};
    for (unsigned seed = 0; seed < 20; ++seed) {
        std::mt19937 random(seed);
        FlatIdMap<int> map;
        std::unordered_map<long long, int> model;
        for (int step = 0; step < 20000; ++step) {
            const long long key = random() % 8 == 0 ? keys[random() % std::size(keys)]
                                                    : static_cast<long long>(random() % 250) - 100;
            if (random() % 3 == 0) {
                map.Erase(key);
                model.erase(key);
            } else {
                const auto [value, inserted] = map.Insert(key, step);
                const auto [it, modelInserted] = model.emplace(key, step);
                ASSERT_EQ(inserted, modelInserted) << "key " << key;
                ASSERT_EQ(*value, it->second) << "key " << key;
            }
            ASSERT_EQ(map.Size(), model.size());
            if (step % 97 == 0) {
                for (long long probe = -120; probe < 170; ++probe) {
                    const int* found = map.Find(probe);
                    const auto it = model.find(probe);
                    ASSERT_EQ(found != nullptr, it != model.end()) << "key " << probe;
                    if (found) {
                        ASSERT_EQ(*found, it->second);
                    }
                }
            }
        }
        map.Clear();
        EXPECT_EQ(map.Size(), 0u);
        EXPECT_EQ(map.Find(kSmallest), nullptr);
    }
}

TEST(FlatIdMapTest, SharedIdsKeepEveryPositionInOrder) {
    NodeIdIndex index;
    index.Add(5, 1);
    index.Add(5, 4);
    index.Add(5, 9);
    index.Add(6, 2);
    EXPECT_EQ(std::vector<uint32_t>(index.Find(5).begin(), index.Find(5).end()),
              (std::vector<uint32_t>{1, 4, 9}));
    index.Remove(5, 4);
    EXPECT_EQ(std::vector<uint32_t>(index.Find(5).begin(), index.Find(5).end()),
              (std::vector<uint32_t>{1, 9}));
    index.Remove(5, 1);
    index.Remove(5, 9);
    EXPECT_TRUE(index.Find(5).empty());
    index.Remove(6, 3);  // not there: nothing changes
    ASSERT_EQ(index.Find(6).size(), 1u);
    index.Remove(6, 2);
    EXPECT_TRUE(index.Find(6).empty());
}

}  // namespace
