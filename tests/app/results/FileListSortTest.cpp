#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileListSort.h"
#include "ListFixtures.h"
#include "OpNodeData.h"

namespace {

using Names = std::vector<std::string>;

// b and c share size and time, as do a and d; names are unlike their other keys.
FileList Fixture() {
    return FileList({{"b.txt", 300, 20},
                     {"a.txt", 100, 10},
                     {"c.txt", 300, 20},
                     {"B.txt", 200, 30},
                     {"d.txt", 100, 10}});
}

struct SortCase {
    const char* column;
    bool ascending;
    Names expected;
};

class SortByColumn : public ::testing::TestWithParam<SortCase> {};

TEST_P(SortByColumn, OrdersByTheKeyAndKeepsTiesInTheirOrder) {
    FileList list = Fixture();
    FileListSort::sortRows(list.rows, QString::fromLatin1(GetParam().column), GetParam().ascending);
    EXPECT_EQ(FileList::names(list.rows), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, SortByColumn,
    ::testing::Values(
        // Names compare case-sensitively: capitals first.
        SortCase{"Name", true, {"B.txt", "a.txt", "b.txt", "c.txt", "d.txt"}},
        SortCase{"Name", false, {"d.txt", "c.txt", "b.txt", "a.txt", "B.txt"}},
        SortCase{"Size", true, {"a.txt", "d.txt", "B.txt", "b.txt", "c.txt"}},
        SortCase{"Size", false, {"b.txt", "c.txt", "B.txt", "a.txt", "d.txt"}},
        SortCase{"Created", true, {"a.txt", "d.txt", "b.txt", "c.txt", "B.txt"}},
        SortCase{"Created", false, {"B.txt", "b.txt", "c.txt", "a.txt", "d.txt"}},
        // Every path shares the folder, so paths order as names do.
        SortCase{"Path", true, {"B.txt", "a.txt", "b.txt", "c.txt", "d.txt"}},
        SortCase{"CheckBox", true, {"b.txt", "a.txt", "c.txt", "B.txt", "d.txt"}},
        SortCase{"CheckBox", false, {"b.txt", "a.txt", "c.txt", "B.txt", "d.txt"}}));

TEST(FileListSort, ManyEqualTimesSortWithoutHarmAndKeepTheirOrder) {
    // Many rows with one creation time: the comparison must stay a strict
    // ordering for any sort to be safe.
    std::vector<ListFile> files;
    for (int i = 0; i < 2000; ++i)
        files.push_back({"f" + std::to_string(i), 1, i % 3 == 0 ? 5u : 7u});
    FileList list(files);
    FileListSort::sortRows(list.rows, QStringLiteral("Created"), false);
    const Names sorted = FileList::names(list.rows);
    Names expected;
    for (int i = 0; i < 2000; ++i)
        if (i % 3 != 0)
            expected.push_back("f" + std::to_string(i));
    for (int i = 0; i < 2000; i += 3)
        expected.push_back("f" + std::to_string(i));
    EXPECT_EQ(sorted, expected);
}

TEST(FileListSort, RowsWithoutAFileSortFirstAscending) {
    FileList list = Fixture();
    list.rows.insert(list.rows.begin() + 2, nullptr);
    FileListSort::sortRows(list.rows, QStringLiteral("Size"), true);
    EXPECT_EQ(FileList::names(list.rows),
              (Names{"(none)", "a.txt", "d.txt", "B.txt", "b.txt", "c.txt"}));
}

}  // namespace

namespace {

TEST(FileListSort, PathsOrderAsTheyAreShown) {
    // Files of three folders, each folder listed in reverse, plus the folders.
    SyntheticTree tree(9, 3);
    std::vector<IFileNode*> rows(tree.files().rbegin(), tree.files().rend());
    rows.insert(rows.end(), tree.folders().begin(), tree.folders().end());
    std::vector<QString> shown;
    for (IFileNode* row : rows)
        shown.push_back(OpNodeData(row).path());
    std::sort(shown.begin(), shown.end());

    FileListSort::sortRows(rows, QStringLiteral("Path"), true);
    std::vector<QString> sorted;
    for (IFileNode* row : rows)
        sorted.push_back(OpNodeData(row).path());
    EXPECT_EQ(sorted, shown);
}

}  // namespace
