#include <gtest/gtest.h>

#include <memory>

#include "CheckMarks.h"
#include "FakeFacade.h"
#include "ListFixtures.h"

namespace {

struct DerivedCase {
    const char* what;
    std::vector<_tagCheckedStatus> files;  // the states of three files
    bool withFolder;                       // a checked folder in the list too
    int expected;
};

class DerivedState : public ::testing::TestWithParam<DerivedCase> {};

TEST_P(DerivedState, FromTheFilesOfTheListFoldersLeftOut) {
    FakeFacade facade;
    std::vector<ListFile> specs;
    for (size_t i = 0; i < GetParam().files.size(); ++i)
        specs.push_back({"f" + std::to_string(i), 1, 0});
    if (GetParam().withFolder)
        specs.push_back({"folder", 0, 0, false, true});
    FileList list(specs);
    for (size_t i = 0; i < GetParam().files.size(); ++i)
        list.node(i)->SetCheck(GetParam().files[i]);
    if (GetParam().withFolder)
        list.node(specs.size() - 1)->SetCheck(CHECK_STATUS_CHECKED);
    EXPECT_EQ(CheckMarks::derivedState(facade, nullptr, list.rows), GetParam().expected)
        << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, DerivedState,
    ::testing::Values(
        DerivedCase{"all checked", {CHECK_STATUS_CHECKED, CHECK_STATUS_CHECKED}, true, 2},
        DerivedCase{"one checked", {CHECK_STATUS_CHECKED, CHECK_STATUS_UNCHECKED}, false, 1},
        DerivedCase{"a partial file", {CHECK_STATUS_CHECKED, CHECK_STATUS_PARTLY}, false, 1},
        DerivedCase{"none checked", {CHECK_STATUS_UNCHECKED, CHECK_STATUS_UNCHECKED}, true, 0},
        DerivedCase{"folders only", {}, true, 0}));

TEST(CheckMarks, ACategoryRootCountsItsRowsAndItsFiles) {
    FakeFacade facade;
    FileList list({{"loose.txt", 1, 0}, {"folder", 0, 0, false, true}});
    auto root = std::make_shared<OpNodeData>(TreeNodeData{1, 1, 0, nullptr});
    root->setType(OpNodeData::kTypeTree);
    auto checked = std::make_shared<OpNodeData>(TreeNodeData{1, 1, 0, nullptr});
    checked->setType(OpNodeData::kTypeTree);
    root->setSubNode({checked});
    root->addChildObjects(list.rows);
    checked->setNodeState(2);

    // Row checked, file unchecked, folder not counted.
    EXPECT_EQ(CheckMarks::derivedState(facade, root.get(), {}), 1);
    list.node(0)->SetCheck(CHECK_STATUS_CHECKED);
    EXPECT_EQ(CheckMarks::derivedState(facade, root.get(), {}), 2);
    // A row below the root sums what the facade lists for it: nothing.
    EXPECT_EQ(CheckMarks::derivedState(facade, checked.get(), list.rows), 0);
}

TEST(CheckMarks, SelectAllOnAFullyCheckedListClearsFilesAndKeepsFolders) {
    FakeFacade facade;
    FileList list({{"a", 1, 0}, {"sub", 0, 0, false, true}, {"b", 1, 0}});
    for (size_t i = 0; i < 3; ++i)
        list.node(i)->SetCheck(CHECK_STATUS_CHECKED);

    const int target =
        CheckMarks::selectAllTarget(CheckMarks::derivedState(facade, nullptr, list.rows));
    CheckMarks::setAllFiles(list.rows, target);
    EXPECT_EQ(list.node(0)->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(list.node(1)->GetCheckedStatus(), CHECK_STATUS_CHECKED);
    EXPECT_EQ(list.node(2)->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);

    // A partly checked list is checked whole.
    list.node(0)->SetCheck(CHECK_STATUS_CHECKED);
    CheckMarks::setAllFiles(list.rows, CheckMarks::selectAllTarget(
                                           CheckMarks::derivedState(facade, nullptr, list.rows)));
    EXPECT_EQ(list.node(2)->GetCheckedStatus(), CHECK_STATUS_CHECKED);
}

TEST(CheckMarks, MarksAreLockedOnlyWhileAScanRunsUnpaused) {
    FakeFacade facade;
    EXPECT_FALSE(CheckMarks::locked(facade));
    ASSERT_TRUE(facade.DoScanWithDiskIndex(0, 0));
    EXPECT_TRUE(CheckMarks::locked(facade));
    facade.PauseOrResumeScan();
    EXPECT_FALSE(CheckMarks::locked(facade));
}

}  // namespace
