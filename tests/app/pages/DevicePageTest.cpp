#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "FakeFacade.h"
#include "KvCustomOutlineView.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvSelectDiskViewController.h"
#include "PageFixtures.h"
#include "TCImageButton.h"
#include "UserDefaults.h"

namespace {

using namespace pagetest;

// A page shown with a list, as the main window fills it.
struct ShownPage {
    explicit ShownPage(DiskNodeArray disks) {
        page.resize(916, 550);
        page.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&page));
        page.setAllDiskArr(std::move(disks));
        page.InitFinished();
    }
    KvCustomOutlineView* outline() { return page.outlineView(); }
    QPoint centreOfRow(int row) {
        return outline()->visualRect(outline()->itemAtRow(row)).center();
    }
    KvSelectDiskViewController page;
};

DiskNodeArray TwoDisks() {
    return {Disk("Bare", 1000),  // no volumes: not listed
            Disk("Samsung SSD", 5000000, {{"Boot", 1000}, {"Data", 3000000}}),
            Disk("Stick", 900000, {{"Photos", 800000}})};
}

TEST(DevicePageTest, ListsDisksWithVolumesAndChoosesTheFirstDisk) {
    KvSelectDiskViewController page;
    QSignalSpy told(&page, &KvSelectDiskViewController::changeSelectDiskViewContinueButtonEnabled);
    page.setAllDiskArr(TwoDisks());
    page.InitFinished();
    ASSERT_EQ(page.allDiskArr().size(), 2u);
    EXPECT_EQ(page.allDiskArr()[0]->name(), "Samsung SSD");
    EXPECT_EQ(page.outlineView()->numberOfRows(), 5);
    EXPECT_EQ(page.selectedRow(), 0);
    EXPECT_EQ(page.selectDiskVolume(), page.allDiskArr()[0]);
    ASSERT_EQ(told.count(), 1);
    EXPECT_EQ(told[0][0].value<DiskNodeRef>(), page.allDiskArr()[0]);
    EXPECT_TRUE(page.scanButton()->isDisabled());
    EXPECT_EQ(page.rootArr(), (QSet<int>{0, 3}));
}

TEST(DevicePageTest, AnEmptyListTellsNothingChosen) {
    KvSelectDiskViewController page;
    QSignalSpy told(&page, &KvSelectDiskViewController::changeSelectDiskViewContinueButtonEnabled);
    page.setAllDiskArr({Disk("Bare", 1000)});
    page.InitFinished();
    ASSERT_EQ(told.count(), 1);
    EXPECT_EQ(told[0][0].value<DiskNodeRef>(), nullptr);
    EXPECT_FALSE(page.scanButton()->isDisabled());
    // A line says what the list holds in place of an empty table.
    EXPECT_TRUE(page.emptyListLabel()->isVisibleTo(&page));
    EXPECT_FALSE(page.outlineView()->isVisibleTo(&page));
    EXPECT_TRUE(page.emptyListLabel()->text().contains("memory cards"));
    page.setAllDiskArr(TwoDisks());
    page.InitFinished();
    EXPECT_FALSE(page.emptyListLabel()->isVisibleTo(&page));
    EXPECT_TRUE(page.outlineView()->isVisibleTo(&page));
}

TEST(DevicePageTest, ClickingBesideTheRowsClearsTheChoice) {
    ShownPage shown(TwoDisks());
    QSignalSpy told(&shown.page,
                    &KvSelectDiskViewController::changeSelectDiskViewContinueButtonEnabled);
    QTest::mouseClick(shown.outline()->viewport(), Qt::LeftButton, {}, shown.centreOfRow(2));
    ASSERT_EQ(told.count(), 1);
    const DiskNodeRef data = told[0][0].value<DiskNodeRef>();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->name(), "Data");
    EXPECT_EQ(data->parentName(), "Samsung SSD");
    EXPECT_EQ(shown.page.selectedRow(), 2);
    EXPECT_EQ(shown.outline()->isSelectRow(), 2);

    // The chosen row again: still chosen, nothing new to tell.
    QTest::mouseClick(shown.outline()->viewport(), Qt::LeftButton, {}, shown.centreOfRow(2));
    EXPECT_EQ(told.count(), 1);

    const QPoint below = shown.centreOfRow(4) + QPoint(0, 100);
    QTest::mouseClick(shown.outline()->viewport(), Qt::LeftButton, {}, below);
    ASSERT_EQ(told.count(), 2);
    EXPECT_EQ(told[1][0].value<DiskNodeRef>(), nullptr);
    EXPECT_EQ(shown.page.selectedRow(), -1);
    EXPECT_FALSE(shown.page.scanButton()->isDisabled());
}

TEST(DevicePageTest, TheChoiceOutlivesARefill) {
    ShownPage shown(TwoDisks());
    QTest::mouseClick(shown.outline()->viewport(), Qt::LeftButton, {}, shown.centreOfRow(4));
    const DiskNodeRef chosen = shown.page.selectDiskVolume();
    ASSERT_NE(chosen, nullptr);
    shown.page.setAllDiskArr({Disk("Other", 10, {{"Only", 10}})});
    shown.page.InitFinished();
    EXPECT_EQ(chosen->name(), "Photos");
    EXPECT_EQ(chosen->parentName(), "Stick");
}

TEST(DevicePageTest, DoubleClicksScanFromRowsNotFromTheHeader) {
    ShownPage shown(TwoDisks());
    QSignalSpy scans(&shown.page, &KvSelectDiskViewController::doubleClickedListToScan);
    QHeaderView* header = shown.outline()->header();
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(20, header->height() / 2));
    shown.page.doubleToScan();
    EXPECT_EQ(scans.count(), 0);

    // The first click of a double click chooses the row.
    QTest::mouseClick(shown.outline()->viewport(), Qt::LeftButton, {}, shown.centreOfRow(1));
    QTest::mouseDClick(shown.outline()->viewport(), Qt::LeftButton, {}, shown.centreOfRow(1));
    ASSERT_EQ(scans.count(), 1);
    EXPECT_EQ(scans[0][0].toInt(), 0);
}

TEST(DevicePageTest, TheScanButtonWritesTheDesktopFlagFirst) {
    ShownPage shown(TwoDisks());
    UserDefaults::setValue("isSelectDesktopDisk", true);
    bool flagWhenAsked = true;
    QObject::connect(&shown.page, &KvSelectDiskViewController::doubleClickedListToScan,
                     [&] { flagWhenAsked = UserDefaults::boolValue("isSelectDesktopDisk"); });
    shown.page.scanButton()->click();
    EXPECT_FALSE(flagWhenAsked);
}

TEST(DevicePageTest, ExpandingOrCollapsingClearsTheMarkAndGreysImages) {
    DiskNodeArray disks = TwoDisks();
    disks.push_back(Disk("Image", 4096, {{"Inside", 4096}}));
    ShownPage shown(disks);
    EXPECT_EQ(shown.outline()->isSelectRow(), 0);
    shown.outline()->collapse(shown.outline()->itemAtRow(0));
    EXPECT_EQ(shown.page.selectedRow(), -1);
    EXPECT_EQ(shown.outline()->isSelectRow(), -1);
    // Rows now: SSD, Stick, Photos, Image, Inside.
    EXPECT_EQ(shown.page.rootArr(), (QSet<int>{0, 1, 3}));

    ShownPage images({Disk("Stick", 10, {{"Photos", 10}, {"Saved", 10, 1, 1}})});
    images.outline()->collapse(images.outline()->itemAtRow(0));
    images.outline()->expand(images.outline()->itemAtRow(0));
    EXPECT_EQ(images.page.rootArr(), (QSet<int>{0, 2}));
}

TEST(DevicePageTest, MediaComingAndGoingRefillTheListFromAWorker) {
    FakeFacade facade;
    facade.devices = {Disk("Stick", 900000, {{"Photos", 800000}})};
    ShownPage shown(TwoDisks());
    QSignalSpy told(&shown.page,
                    &KvSelectDiskViewController::changeSelectDiskViewContinueButtonEnabled);
    KvNotificationCenter::defaultCenter()->post(kvnote::kRefreshAttachDevice);
    // A second notice while the list is being built is served after it.
    KvNotificationCenter::defaultCenter()->post(kvnote::kRefreshDetachDevice);
    EXPECT_TRUE(shown.page.isRefreshing());
    EXPECT_FALSE(shown.page.scanButton()->isDisabled());
    QDeadlineTimer deadline(5000);
    while ((shown.page.isRefreshing() || told.isEmpty()) && !deadline.hasExpired())
        QTest::qWait(20);
    QTest::qWait(300);
    EXPECT_EQ(facade.refreshCount, 2);
    ASSERT_EQ(shown.page.allDiskArr().size(), 1u);
    EXPECT_EQ(shown.page.allDiskArr()[0]->name(), "Stick");
    EXPECT_EQ(shown.page.selectDiskVolume(), facade.devices[0]);
    EXPECT_TRUE(shown.page.scanButton()->isDisabled());

    // Once the main window has taken over, media are no longer followed.
    shown.page.disableRefreshDevice();
    KvNotificationCenter::defaultCenter()->post(kvnote::kRefreshAttachDevice);
    EXPECT_FALSE(shown.page.isRefreshing());
}

TEST(DevicePageTest, ColumnTexts) {
    const DiskNodeRef ssd = Disk("Samsung SSD", 5000000, {{"Data", 3000000}});
    const DiskNodeRef hdd = Disk("WD Blue", 5000000, {{"Data", 3000000}});
    const struct {
        DiskNodeRef node;
        int column;
        const char* text;
    } cases[] = {{ssd, DiskListModel::kIsSSD, "SSD"},
                 {hdd, DiskListModel::kIsSSD, "HDD"},
                 {hdd->children()[0], DiskListModel::kIsSSD, " "},
                 {hdd, DiskListModel::kName, "WD Blue"},
                 {hdd, DiskListModel::kIsSelect, ""}};
    for (const auto& row : cases)
        EXPECT_EQ(DiskListModel::textOf(*row.node, row.column), row.text) << row.text;
    EXPECT_EQ(DiskListModel::iconName(*hdd), "icon_disk");
}

}  // namespace
