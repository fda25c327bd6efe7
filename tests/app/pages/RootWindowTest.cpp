#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QTest>

#include <memory>

#include "FakeFacade.h"
#include "KvRootWindowController.h"
#include "KvSelectDiskViewController.h"
#include "KvSelectTypeViewController.h"
#include "PageFixtures.h"
#include "TCImageButton.h"

namespace {

using namespace pagetest;

// What the main window handed to the results window.
struct Handed {
    int windows = 0;
    int alive = 0;
    DiskNodeRef device;
    int mode = 0;
    int desktop = -1;
    int scansStarted = 0;
    QString imported;
    // Whether the load had begun when the results window was handed it.
    bool loadBegunAtHandOver = false;
    int importsCleared = 0;
    QPoint position;
};

class FakeResultsWindow : public KvDeletailWindow {
public:
    explicit FakeResultsWindow(Handed& handed) : handed_(handed) {
        ++handed_.windows;
        ++handed_.alive;
        window_.resize(300, 200);
    }
    ~FakeResultsWindow() override { --handed_.alive; }
    QWidget* window() override { return &window_; }
    void setSelectDiskVolumeData(std::shared_ptr<DiskVolumeNodeData> device) override {
        handed_.device = device;
    }
    void setScanTypeNum(int mode) override { handed_.mode = mode; }
    void setSelectDesktop(int desktop) override { handed_.desktop = desktop; }
    void getData() override {
        ++handed_.scansStarted;
        handed_.position = window_.pos();
    }
    void getImportData(const QString& path) override {
        handed_.imported = path;
        handed_.loadBegunAtHandOver =
            !static_cast<FakeFacade&>(KvUIFacade::current()).loadPath.isEmpty();
    }
    void clearImportData() override { ++handed_.importsCleared; }
    void closeWindow() override { window_.hide(); }

private:
    Handed& handed_;
    QWidget window_;
};

// A main window over the fake facade, with results windows and dialogs that
// record what they were asked.
struct MainWindow {
    explicit MainWindow(DiskNodeArray disks) {
        facade.devices = std::move(disks);
        windows.makeResultsWindow = [this] { return std::make_unique<FakeResultsWindow>(handed); };
        windows.showVolumeNotice = [this](QWidget*) { ++notices; };
        windows.chooseSavedResult = [this](QWidget*, const QString&) { return chosenFile; };
        windows.runLoadWait = [this](QWidget*, const std::function<void()>& start) {
            start();
            return loadResult;
        };
        root = std::make_unique<KvRootWindowController>(windows);
        root->windowDidLoad();
        root->move(100, 100);
        root->show();
    }
    // Waits for the notification centre and the deferred scan start.
    void settle(int ms = 400) { QTest::qWait(ms); }
    void next() {
        root->selectTypeVC()->nextButtonAction();
        settle();
    }

    FakeFacade facade;
    Handed handed;
    KvShellWindows windows;
    int notices = 0;
    QString chosenFile;
    int loadResult = 1;
    std::unique_ptr<KvRootWindowController> root;
};

TEST(RootWindowTest, CountsCandidatesForTheDeviceStep) {
    const struct {
        const char* what;
        DiskNodeArray disks;
        int count;
    } cases[] = {
        {"one volume filling its disk", {Disk("A", 1000000, {{"a", 950000}})}, 1},
        {"room beside one volume", {Disk("A", 1000000, {{"a", 900000}})}, 2},
        {"plus a disk without volumes",
         {Disk("A", 1000000, {{"a", 950000}}), Disk("B", 5000000)},
         1},
        {"two volumes", {Disk("A", 1000000, {{"a", 400000}, {"b", 500000}})}, 2},
        {"no volume anywhere", {Disk("A", 1000000), Disk("B", 1000)}, 0},
    };
    for (const auto& list : cases)
        EXPECT_EQ(KvRootWindowController::countCandidates(list.disks).count, list.count)
            << list.what;
}

TEST(RootWindowTest, OneCandidateSkipsTheDevicePageAndScansIt) {
    for (DiskNodeArray disks : {DiskNodeArray{Disk("A", 1000000, {{"a", 950000}})},
                                DiskNodeArray{Disk("A", 1000000, {{"a", 950000}}), Disk("B", 9)}}) {
        MainWindow main(disks);
        main.next();
        EXPECT_EQ(main.root->selectDiskVC(), nullptr);
        ASSERT_EQ(main.handed.windows, 1);
        EXPECT_EQ(main.handed.device, main.facade.devices[0]->children()[0]);
        EXPECT_EQ(main.handed.mode, 1);
        EXPECT_EQ(main.handed.desktop, 0);
        EXPECT_EQ(main.handed.scansStarted, 1);
        EXPECT_EQ(main.handed.position, main.root->pos() + QPoint(0, 50));
        EXPECT_FALSE(main.root->isVisible());
        EXPECT_EQ(main.facade.recoveryTypes, std::vector<unsigned int>{127});
    }
}

TEST(RootWindowTest, SeveralCandidatesShowTheDevicePage) {
    MainWindow roomy({Disk("A", 1000000, {{"a", 900000}})});
    roomy.next();
    ASSERT_NE(roomy.root->selectDiskVC(), nullptr);
    EXPECT_EQ(roomy.root->whichPage(), 3);
    EXPECT_EQ(roomy.handed.windows, 0);

    MainWindow two({Disk("A", 1000000, {{"a", 400000}, {"b", 500000}})});
    two.next();
    KvSelectDiskViewController* page = two.root->selectDiskVC();
    ASSERT_NE(page, nullptr);
    // The page chose and reported the first disk: the continue button is on.
    EXPECT_EQ(page->selectDiskVolume(), two.facade.devices[0]);
    EXPECT_EQ(two.root->selectVolumeData(), two.facade.devices[0]);
    EXPECT_TRUE(two.root->continueButton()->isDisabled());
    EXPECT_EQ(page->x(), 0);
    EXPECT_EQ(two.root->selectTypeVC()->x(), -916);
    // One back and one scan button: the window's.
    EXPECT_TRUE(two.root->continueButton()->isVisible());
    EXPECT_TRUE(two.root->backHomeButton()->isVisible());
    EXPECT_FALSE(page->scanButton()->isVisible());
    EXPECT_FALSE(page->backButton()->isVisible());
}

TEST(RootWindowTest, NoVolumeAnywhereExplainsInsteadOfScanning) {
    MainWindow main({Disk("A", 1000000), Disk("B", 1000)});
    main.next();
    EXPECT_EQ(main.notices, 1);
    EXPECT_EQ(main.handed.windows, 0);
    EXPECT_TRUE(main.root->isVisible());
}

TEST(RootWindowTest, AVolumeThatCannotBeOpenedIsExplained) {
    MainWindow main({Disk("A", 1000000, {{"a", 950000, 0}})});
    main.next();
    EXPECT_EQ(main.notices, 1);
    EXPECT_EQ(main.handed.windows, 0);
    // The type page stays as it was, its own next button the way on.
    EXPECT_EQ(main.root->whichPage(), 2);
    EXPECT_FALSE(main.root->backHomeButton()->isVisible());
    EXPECT_FALSE(main.root->continueButton()->isVisible());
    main.next();
    EXPECT_EQ(main.notices, 2);
}

TEST(RootWindowTest, BackThenContinueKeepsTheMaskOfTheFirstPass) {
    MainWindow main({Disk("A", 1000000, {{"a", 400000}, {"b", 500000}})});
    main.root->nextButtonActionWithAllTypeArr({"1", "4", "8"});
    main.settle();
    ASSERT_EQ(main.root->whichPage(), 3);
    main.root->backHome();
    EXPECT_EQ(main.root->whichPage(), 2);
    EXPECT_EQ(main.root->selectTypeVC()->x(), 0);
    // Chosen through the all-box, the document category stays selected.
    EXPECT_TRUE(main.root->selectTypeVC()->selectArr().contains("8"));
    EXPECT_FALSE(main.root->continueButton()->isVisible());
    main.root->backHomeButton()->click();
    main.settle();
    EXPECT_EQ(main.root->whichPage(), 3);
    EXPECT_EQ(main.facade.recoveryTypes, (std::vector<unsigned int>{13, 13}));

    // Not kept by the all-box, it leaves the page's selection.
    main.root->isSelectOffice(0);
    main.root->backHome();
    EXPECT_FALSE(main.root->selectTypeVC()->selectArr().contains("8"));
}

TEST(RootWindowTest, ADoubleClickOnTheDevicePageHandsOverTheChoice) {
    MainWindow main({Disk("A", 1000000, {{"a", 400000}, {"b", 500000}})});
    main.root->changeScanTypeWithNum(2);
    main.next();
    KvSelectDiskViewController* page = main.root->selectDiskVC();
    ASSERT_NE(page, nullptr);
    main.root->changeSelectDiskViewContinueButtonEnabled(main.facade.devices[0]->children()[1]);
    main.root->doubleClickedListToScan(0);
    main.settle();
    ASSERT_EQ(main.handed.windows, 1);
    EXPECT_EQ(main.handed.device->name(), "b");
    EXPECT_EQ(main.handed.mode, 2);
    EXPECT_EQ(main.handed.scansStarted, 1);
}

TEST(RootWindowTest, ACancelledImportChangesNothing) {
    MainWindow main({Disk("A", 1000000, {{"a", 950000}})});
    main.chosenFile.clear();
    main.root->importButtonAction();
    EXPECT_TRUE(main.facade.recoveryTypes.empty());
    EXPECT_EQ(main.handed.windows, 0);
    EXPECT_TRUE(main.facade.loadPath.isEmpty());
    EXPECT_TRUE(main.root->isVisible());
}

TEST(RootWindowTest, ImportShowsTheResultsWindowOrDropsIt) {
    for (int result : {1, 0}) {
        MainWindow main({Disk("A", 1000000, {{"a", 950000}})});
        main.chosenFile = QStringLiteral("/tmp/scan.Harbex");
        main.loadResult = result;
        main.root->importButtonAction();
        EXPECT_EQ(main.facade.recoveryTypes, std::vector<unsigned int>{127});
        EXPECT_EQ(main.facade.loadPath, main.chosenFile);
        EXPECT_EQ(main.handed.imported, main.chosenFile);
        // The results window claims the load before it begins.
        EXPECT_FALSE(main.handed.loadBegunAtHandOver);
        EXPECT_EQ(main.handed.windows, 1);
        if (result != 0) {
            ASSERT_NE(main.root->deletailWC(), nullptr);
            EXPECT_TRUE(main.root->deletailWC()->window()->isVisible());
            EXPECT_FALSE(main.root->isVisible());
        } else {
            EXPECT_EQ(main.handed.importsCleared, 1);
            EXPECT_EQ(main.handed.alive, 0);
            EXPECT_TRUE(main.root->isVisible());
        }
    }
}

TEST(RootWindowTest, TitleBarButtonsStandAtTheirPlaces) {
    MainWindow main({});
    EXPECT_EQ(main.root->aboutButton()->geometry(), QRect(860, 14, 16, 16));
    EXPECT_EQ(main.root->importButton()->geometry(), QRect(828, 14, 16, 16));
    EXPECT_EQ(main.root->titleBarView()->height(), 50);
    EXPECT_EQ(main.root->pagesView()->width(), 2 * 916);
}

}  // namespace
