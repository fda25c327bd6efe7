#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "DataRunList.h"

namespace {

struct ListDeleter {
    void operator()(IDataRunList* list) const { list->Release(); }
};
using ListPtr = std::unique_ptr<IDataRunList, ListDeleter>;

ListPtr MakeList(const std::vector<DataRun>& runs) {
    ListPtr list(CreateDataRunList());
    for (const DataRun& run : runs)
        list->AddDataRun(&run);
    return list;
}

std::vector<std::pair<int64_t, uint64_t>> Walk(IDataRunList& list) {
    std::vector<std::pair<int64_t, uint64_t>> runs;
    for (DataRun* run = list.GetFirst(); run; run = list.GetNext())
        runs.emplace_back(run->firstCluster, run->clusterCount);
    return runs;
}

TEST(DataRunList, ContiguousRunsMergeAndHolesStaySeparate) {
    using Runs = std::vector<std::pair<int64_t, uint64_t>>;
    struct Case {
        const char* what;
        std::vector<DataRun> added;
        Runs expected;
    };
    const Case cases[] = {
        {"contiguous", {{100, 8}, {108, 4}}, {{100, 12}}},
        {"gap", {{100, 8}, {200, 4}}, {{100, 8}, {200, 4}}},
        {"hole after hole", {{-9, 8}, {-1, 8}}, {{-9, 8}, {-1, 8}}},
        {"data after hole", {{-8, 8}, {0, 4}}, {{-8, 8}, {0, 4}}},
        {"hole after data", {{0, 8}, {-1, 2}}, {{0, 8}, {-1, 2}}},
        {"three in a row", {{0, 1}, {1, 1}, {2, 1}}, {{0, 3}}},
        // Counts from a damaged record must not wrap into a match.
        {"count wrapping below its start",
         {{100, UINT64_MAX}, {99, 4}},
         {{100, UINT64_MAX}, {99, 4}}},
        {"count past the last cluster number",
         {{INT64_MAX - 5, 10}, {4, 1}},
         {{INT64_MAX - 5, 10}, {4, 1}}},
    };
    for (const Case& c : cases) {
        ListPtr list = MakeList(c.added);
        EXPECT_EQ(Walk(*list), c.expected) << c.what;
    }
}

TEST(DataRunList, EmptyListIsDoneAtOnce) {
    ListPtr list(CreateDataRunList());
    EXPECT_TRUE(list->IsDone());
    EXPECT_EQ(list->GetFirst(), nullptr);
    EXPECT_EQ(list->GetNext(), nullptr);
    list->AddDataRun(nullptr);
    EXPECT_EQ(list->GetFirst(), nullptr);
}

TEST(DataRunList, CursorWalksToTheEnd) {
    ListPtr list = MakeList({{100, 8}, {200, 4}});
    EXPECT_TRUE(list->IsDone());  // before the first GetFirst
    ASSERT_NE(list->GetFirst(), nullptr);
    EXPECT_FALSE(list->IsDone());
    ASSERT_NE(list->GetNext(), nullptr);
    EXPECT_EQ(list->GetNext(), nullptr);
    EXPECT_TRUE(list->IsDone());
    EXPECT_EQ(list->GetNext(), nullptr);
}

TEST(DataRunList, CloneHasItsOwnExtentsAndCursor) {
    ListPtr list = MakeList({{100, 8}, {200, 4}});
    list->GetFirst();
    list->GetNext();
    ListPtr clone(list->Clone());
    EXPECT_TRUE(clone->IsDone());
    EXPECT_EQ(Walk(*clone), Walk(*list));
    EXPECT_EQ(clone->IsResident(), 0u);
    EXPECT_EQ(clone->GetDataRunListType(), 5);
    EXPECT_EQ(clone->GetOffset(), 0);

    DataRun more(204, 1);
    clone->AddDataRun(&more);
    EXPECT_EQ(Walk(*list).back(), (std::pair<int64_t, uint64_t>(200, 4)));
    EXPECT_EQ(Walk(*clone).back(), (std::pair<int64_t, uint64_t>(200, 5)));
}

}  // namespace
