#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "Alert.h"
#include "DiskVolumeNodeData.h"
#include "FakeClock.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvPublicUtilities.h"
#include "KvResultTrees.h"
#include "KvSegmentedControl.h"
#include "KvUIDeviceData.h"
#include "SavePanel.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

std::shared_ptr<DiskVolumeNodeData> Device(int32_t isOzt, int32_t isAppleDmg) {
    _DiskVolumeData record;
    record.name = "Untitled";
    record.bsdName = isOzt || isAppleDmg ? "/images/card.img" : "sdb1";
    record.capacity = 64 << 20;
    record.diskIndex = 1;
    record.volumeIndex = 0;
    record.isOzt = isOzt;
    record.isAppleDmg = isAppleDmg;
    return std::make_shared<DiskVolumeNodeData>(record);
}

// The buttons' own usable flag, which isDisabled() answers.
bool Usable(const TCImageButton* button) {
    return button->isDisabled();
}

// Where a control stands in the box of scan controls, in its box's terms.
QRect InBox(const KvDeletailWindowController& window, QWidget* control) {
    return QRect(control->mapTo(window.abox, QPoint(0, 0)), control->size());
}

struct ScanChoice {
    const char* name;
    int32_t isOzt;
    int32_t isAppleDmg;
    int mode;
    bool deep;
};

class GetDataTest : public ::testing::TestWithParam<ScanChoice> {};

TEST_P(GetDataTest, ImagesAndTheDeepModeAreSearchedThrough) {
    const ScanChoice& choice = GetParam();
    FakeFacade facade;
    KvDeletailWindowController window;
    window.setSelectDiskVolumeData(Device(choice.isOzt, choice.isAppleDmg));
    window.setScanTypeNum(choice.mode);
    window.getData();

    ASSERT_EQ(facade.scanRequests.size(), 1u);
    EXPECT_EQ(facade.scanRequests[0].deep, choice.deep);
    EXPECT_EQ(facade.scanRequests[0].disk, 1);
    EXPECT_EQ(facade.scanRequests[0].volume, 0);
    EXPECT_EQ(window.isDeepScan, choice.deep ? 1 : 0);
    EXPECT_EQ(window.segment->isEnabled(), !choice.deep);
    EXPECT_EQ(window.advButton->isHidden(), choice.deep);
    // Quick scans keep the controls where the strip first put them.
    const QRect stop = InBox(window, window.stopButton);
    const QRect pause = InBox(window, window.pauseButton);
    const QRect recover = InBox(window, window.recovertyButton);
    const int stripHeight = KvDeletailWindowController::kControlStripHeight;
    if (choice.deep) {
        EXPECT_EQ(stop, QRect(527, stripHeight - 32 - 18, 18, 18));
        EXPECT_EQ(pause, QRect(497, stripHeight - 32 - 18, 18, 18));
        EXPECT_EQ(InBox(window, window.continueScanButton), pause);
        EXPECT_EQ(recover, QRect(562, stripHeight - 22 - 41, 138, 41));
    } else {
        EXPECT_EQ(stop, QRect(352, stripHeight - 32 - 18, 18, 18));
        EXPECT_EQ(pause, QRect(322, stripHeight - 32 - 18, 18, 18));
        EXPECT_EQ(recover, QRect(386, stripHeight - 22 - 41, 138, 41));
    }
}

INSTANTIATE_TEST_SUITE_P(Devices, GetDataTest,
                         ::testing::Values(ScanChoice{"OwnImageQuick", 1, 0, 1, true},
                                           ScanChoice{"AppleImageQuick", 0, 1, 1, true},
                                           ScanChoice{"OwnImageDeep", 1, 0, 2, true},
                                           ScanChoice{"VolumeQuick", 0, 0, 1, false},
                                           ScanChoice{"VolumeDeep", 0, 0, 2, true},
                                           ScanChoice{"VolumeOtherMode", 0, 0, 3, true}),
                         [](const ::testing::TestParamInfo<ScanChoice>& info) {
                             return std::string(info.param.name);
                         });

TEST(ResultsWindowTest, TheBridgeForgetsTheRootArraysWhenTheWindowGoes) {
    // The bridge's trees outlive every results window.
    auto window = std::make_unique<KvDeletailWindowController>();
    KvResultTrees& trees = KvResultTrees::instance();
    EXPECT_EQ(trees.Roots(OpNodeData::kPathTree), &window->allDiskArr);
    EXPECT_EQ(trees.Roots(OpNodeData::kModifiedTree), &window->allModifyTimeArr);
    window.reset();
    for (int tree = OpNodeData::kPathTree; tree <= OpNodeData::kModifiedTree; ++tree)
        EXPECT_EQ(trees.Roots(tree), nullptr) << tree;
}

TEST(ResultsWindowTest, ScanControlsKeepTheirDistanceFromTheRightEdge) {
    FakeFacade facade;
    KvDeletailWindowController window;
    window.show();
    window.resize(KvDeletailWindowController::kWindowWidth + 100,
                  KvDeletailWindowController::kWindowHeight);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.abox->width(), 820);
    EXPECT_EQ(InBox(window, window.stopButton).x(), 452);
    EXPECT_EQ(InBox(window, window.advButton).x(), 634);
    EXPECT_EQ(window.findFilesLabel->width(), 400);
    EXPECT_EQ(window.findFilesLabel->x(), 0);
}

}  // namespace

namespace {

// Answers every alert with `answer` and counts them.
class AlertAnswers {
public:
    explicit AlertAnswers(int answer) {
        Alert::setAnswerer([this, answer](const Alert& alert) {
            asked.push_back(alert.message);
            if (onAsk)
                onAsk();
            return answer;
        });
    }
    ~AlertAnswers() { Alert::setAnswerer({}); }

    std::vector<QString> asked;
    std::function<void()> onAsk;
};

// Counts "appWillTerminate" while it lives.
struct TerminateCount {
    TerminateCount() {
        connection = KvNotificationCenter::defaultCenter()->observe(
            kvnote::kAppWillTerminate, &context, [this](const QVariant&) { ++posts; });
    }
    QObject context;
    QMetaObject::Connection connection;
    int posts = 0;
};

struct ScanningWindow {
    explicit ScanningWindow(FakeFacade& facade) {
        facade.tree = std::make_shared<SyntheticTree>(50, 10);
        window.setSelectDiskVolumeData(Device(0, 0));
        window.getData();
    }
    KvDeletailWindowController window;
};

TEST(ResultsWindowCloseTest, YesStopsTheScanAndLaterClicksAreIgnored) {
    FakeFacade facade;
    ScanningWindow scanning(facade);
    KvDeletailWindowController& window = scanning.window;
    AlertAnswers answers(1);
    bool pausedWhileAsked = false;
    answers.onAsk = [&] { pausedWhileAsked = facade.IsPause(); };

    window.closeWindow();
    ASSERT_EQ(answers.asked.size(), 1u);
    EXPECT_TRUE(pausedWhileAsked);
    EXPECT_EQ(facade.stopScanCount, 1);
    EXPECT_EQ(window.isCloseWindow, 1);
    // The fake stops at once, so the progress update ends the scan and the window.
    EXPECT_TRUE(window.isHidden());
    for (TCImageButton* button :
         {window.backHomeButton, window.pauseButton, window.stopButton, window.continueScanButton})
        EXPECT_FALSE(Usable(button)) << button->objectName().toStdString();

    window.closeWindow();
    window.close();
    EXPECT_EQ(answers.asked.size(), 1u);
    EXPECT_EQ(facade.stopScanCount, 1);
}

TEST(ResultsWindowCloseTest, NoResumesUnlessTheUserHadPaused) {
    for (const bool userPaused : {false, true}) {
        FakeFacade facade;
        ScanningWindow scanning(facade);
        KvDeletailWindowController& window = scanning.window;
        if (userPaused) {
            facade.PauseOrResumeScan();
            window.isPause = 1;
        }
        AlertAnswers answers(0);
        window.closeWindow();
        EXPECT_EQ(answers.asked.size(), 1u);
        EXPECT_EQ(facade.IsPause(), userPaused);
        EXPECT_TRUE(facade.IsScanRunning());
        EXPECT_EQ(window.isCanClick, 1);
        EXPECT_EQ(window.isCloseWindow, 0);
        // The user may ask again.
        window.closeWindow();
        EXPECT_EQ(answers.asked.size(), 2u);
    }
}

// Closing a finished scan's window offers to save the result first.
TEST(ResultsWindowCloseTest, WithNoScanRunningTheSaveOfferDecides) {
    struct Case {
        const char* name;
        int bSave;
        int isImport;
        int answer;
        bool offered;
        bool closes;
        int panels;
    };
    const Case cases[] = {
        {"stay", 0, 0, 0, true, false, 0},
        {"close without saving", 0, 0, -1, true, true, 0},
        {"save first, panel cancelled", 0, 0, 1, true, false, 1},
        {"saved", 1, 0, 0, false, true, 0},
        {"loaded", 0, 1, 0, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFacade facade;
        ScanningWindow scanning(facade);
        KvDeletailWindowController& window = scanning.window;
        facade.finishScan();
        QCoreApplication::processEvents();
        window.show();
        window.bSave = c.bSave;
        window.isImport = c.isImport;
        AlertAnswers answers(c.answer);
        int panels = 0;
        SavePanel::setAnswerer([&](const SavePanel&) {
            ++panels;
            return QString();
        });
        TerminateCount terminate;

        window.closeWindow();
        SavePanel::setAnswerer({});
        EXPECT_EQ(answers.asked.size(), c.offered ? 1u : 0u);
        EXPECT_EQ(panels, c.panels);
        EXPECT_EQ(terminate.posts, c.closes ? 1 : 0);
        EXPECT_EQ(window.isVisible(), !c.closes);
    }
}

TEST(ResultsWindowCloseTest, QuittingFadesTheWindowFirstAndTheSecondRequestGoesThrough) {
    FakeFacade facade;
    KvDeletailWindowController window;
    window.show();
    TerminateCount terminate;
    EXPECT_FALSE(window.applicationShouldTerminate());
    EXPECT_EQ(window.shuttingDown, 1);
    // Fading is off in tests: the fade has ended at once.
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(terminate.posts, 1);
    EXPECT_TRUE(window.applicationShouldTerminate());
}

}  // namespace

namespace {

// A scan over the fake facade whose posts the bridge would have preceded by a
// refresh of the trees.
struct FakeScan {
    explicit FakeScan(FakeFacade& facade) : facade(facade) {}
    void advance(double percent) {
        facade.advanceScan(percent);
        facade.KvGetTreeNodeData(0);
        QCoreApplication::processEvents();
    }
    void finish() {
        facade.finishScan();
        facade.KvGetTreeNodeData(1);
        QCoreApplication::processEvents();
    }
    FakeFacade& facade;
};

int Rows(const CommOutlineView* outline) {
    return outline->model()->rowCount();
}

TEST(DataInitFinishedTest, ADesktopSearchShowsItsTreesOnlyAtTheEnd) {
    for (const int desktop : {0, 1}) {
        FakeFacade facade;
        facade.tree = std::make_shared<SyntheticTree>(40, 10);
        KvDeletailWindowController window;
        window.setSelectDiskVolumeData(Device(0, 0));
        window.setSelectDesktop(desktop);
        window.getData();
        FakeScan scan(facade);
        scan.advance(50);
        EXPECT_EQ(Rows(window.pathOutlineView), desktop == 1 ? 0 : 1) << desktop;
        scan.finish();
        EXPECT_EQ(Rows(window.pathOutlineView), 1) << desktop;
    }
}

TEST(DataInitFinishedTest, ADesktopScanSearchesForTheDesktopFolderAtItsEnd) {
    for (const int desktop : {0, 1}) {
        SCOPED_TRACE(desktop);
        FakeFacade facade;
        facade.tree = std::make_shared<SyntheticTree>(40, 10);
        FakeClock clock;
        KvDeletailWindowController window;
        window.setClock(&clock);
        window.setSelectDiskVolumeData(Device(0, 0));
        window.setSelectDesktop(desktop);
        window.getData();
        FakeScan scan(facade);
        scan.advance(50);
        EXPECT_FALSE(window.search->isEnabled());
        scan.finish();
        EXPECT_TRUE(window.search->isEnabled());
        EXPECT_TRUE(facade.searchKeys.empty());
        clock.advance(300);
        QCoreApplication::processEvents();
        EXPECT_EQ(facade.searchKeys, desktop == 1 ? std::vector<QString>{QStringLiteral("Desktop")}
                                                  : std::vector<QString>{});
    }
}

TEST(DataInitFinishedTest, TheEndSelectsTheRootOpensItAndShowsTheTotals) {
    FakeFacade facade;
    facade.tree = std::make_shared<SyntheticTree>(40, 10);
    KvDeletailWindowController window;
    window.setSelectDiskVolumeData(Device(0, 0));
    window.getData();
    FakeScan scan(facade);
    scan.advance(50);
    const QModelIndex root = window.pathOutlineView->model()->index(0, 0);
    EXPECT_FALSE(window.pathOutlineView->isExpanded(root));
    EXPECT_FALSE(window.pathOutlineView->selectionModel()->isSelected(root));

    scan.finish();
    EXPECT_TRUE(window.pathOutlineView->isExpanded(root));
    EXPECT_TRUE(window.pathOutlineView->selectionModel()->isSelected(root));
    EXPECT_EQ(window.selectFilesLabel->text(),
              Tr("QOV_FOUR_ALL_FILES_SIZE",
                 KvPublicUtilities::longlongConvertVolSpace(
                     static_cast<int64_t>(facade.tree->totalSize())),
                 QStringLiteral("40")));
    for (QPushButton* tab : {window.pathButton, window.typeButton, window.timeButton})
        EXPECT_TRUE(tab->isEnabled());
    EXPECT_TRUE(window.oldData.isValid());
}

// The volume was found, nothing in it.
TEST(DataInitFinishedTest, AnEmptyResultShowsTheNoteAndOpensNothing) {
    FakeFacade facade;
    facade.tree = std::make_shared<SyntheticTree>(0, 10);
    KvDeletailWindowController window;
    window.setSelectDiskVolumeData(Device(0, 0));
    window.getData();
    FakeScan scan(facade);
    scan.finish();
    ASSERT_EQ(Rows(window.pathOutlineView), 1);
    EXPECT_EQ(
        window.pathOutlineView->model()->rowCount(window.pathOutlineView->model()->index(0, 0)), 0);
    EXPECT_NE(window.gridNoValueView, nullptr);
    EXPECT_NE(window.tableView->noValueView(), nullptr);
    EXPECT_TRUE(window.arrList.empty());
}

}  // namespace

namespace {

std::shared_ptr<DiskVolumeNodeData> CardVolume() {
    _DiskVolumeData record;
    record.name = "PHOTOS";
    record.bsdName = "sdb1";
    record.diskIndex = 1;
    record.volumeIndex = 0;
    return std::make_shared<DiskVolumeNodeData>(record);
}

void PostRemoval(const QVariant& object) {
    KvNotificationCenter::defaultCenter()->post(kvnote::kRefreshDetachDevice, object);
}

TEST(DeviceRemovedTest, OnlyTheScannedDeviceStopsTheScan) {
    const struct {
        const char* name;
        QVariant notice;
        bool cardListed;
        bool stops;
    } cases[] = {
        {"ItsNode", QVariantMap{{"USBPath", "/dev/sdb1"}}, true, true},
        {"ItsDisk", QVariantMap{{"USBPath", "/dev/sdb"}}, true, true},
        {"AnotherNode", QVariantMap{{"USBPath", "/dev/sdc1"}}, false, false},
        {"NoPathWhileListed", QVariant(), true, false},
        {"NoPathOnceGone", QVariant(), false, true},
        {"EmptyPathOnceGone", QVariantMap{{"USBPath", ""}}, false, true},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        FakeFacade facade;
        if (testCase.cardListed) {
            auto disk = FakeFacade::MakeDevice("Cruzer", 16u << 30, 1, -1, -1);
            disk->setSubNode({CardVolume()});
            facade.devices = {disk};
        }
        KvDeletailWindowController window;
        window.setSelectDiskVolumeData(CardVolume());
        window.getData();
        AlertAnswers answers(0);
        PostRemoval(testCase.notice);
        EXPECT_EQ(facade.stopScanCount, testCase.stops ? 1 : 0);
        EXPECT_EQ(answers.asked.size(), testCase.stops ? 1u : 0u);
        // One removal is enough: the medium's other devices go with it.
        PostRemoval(QVariantMap{{"USBPath", "/dev/sdb1"}});
        EXPECT_EQ(facade.stopScanCount, 1);
        EXPECT_EQ(answers.asked.size(), 1u);
        EXPECT_EQ(window.isBackHome, 0);
    }
}

TEST(DeviceRemovedTest, ConfirmingTheNoticeGoesHome) {
    FakeFacade facade;
    KvDeletailWindowController window;
    window.setSelectDiskVolumeData(CardVolume());
    window.getData();
    // OK to the notice, then home without saving what was found.
    std::vector<QString> asked;
    Alert::setAnswerer([&asked](const Alert& alert) {
        asked.push_back(alert.message);
        return asked.size() == 1 ? 1 : -1;
    });
    PostRemoval(QVariantMap{{"USBPath", "/dev/sdb1"}});
    Alert::setAnswerer({});
    EXPECT_EQ(asked, (std::vector<QString>{Tr("Message"), Tr("SAVE_SAME_DISK_WARNING")}));
    EXPECT_EQ(window.isBackHome, 1);
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
