#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLabel>

#include "FakeClock.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvProgressView.h"
#include "KvSegmentedControl.h"
#include "MAAttachedWindow.h"
#include "PrivateData.h"
#include "TCImageButton.h"

namespace {

// The button's usable flag (which it names isDisabled).
bool Usable(const TCImageButton* button) {
    return button->isDisabled();
}

void Deliver() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// A results window over a quick scan of the fake facade, on a hand-moved clock.
class ScanProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        QFile::remove(PrivateData::userCopyPath());
        facade.tree = std::make_shared<SyntheticTree>(1000, 10);
        facade.remainingTime = QStringLiteral("00:05:00");
    }
    void TearDown() override {
        window.reset();
        QFile::remove(PrivateData::userCopyPath());
    }

    void start(int mode = 1) {
        window = std::make_unique<KvDeletailWindowController>();
        window->setClock(&clock);
        window->setSelectDiskVolumeData(FakeFacade::MakeDevice("Untitled", 1 << 30, 0, 0, 7));
        window->setScanTypeNum(mode);
        window->getData();
    }
    // The scan moves on and its notice arrives.
    void advance(double percent) {
        facade.advanceScan(percent);
        facade.KvGetTreeNodeData(0);
        Deliver();
    }
    void finish() {
        facade.finishScan();
        facade.KvGetTreeNodeData(1);
        Deliver();
    }
    QString found() const { return window->findFilesLabel->text(); }
    QString remaining() const { return window->remainTimeLabel->text(); }

    FakeFacade facade;
    FakeClock clock;
    std::unique_ptr<KvDeletailWindowController> window;
};

TEST_F(ScanProgressTest, NothingFoundAtOnePercentKeepsThePreparingTexts) {
    facade.tree.reset();
    start();
    advance(1.0);
    EXPECT_EQ(found(), "Please wait...");
    EXPECT_EQ(remaining(), "Prepare to scan your drive");
    // Nothing found: no progress ticks either.
    EXPECT_FALSE(window->getPorTimer);
    clock.advance(1000);
    advance(1.5);
    EXPECT_EQ(found(), "Files found: 0");
    EXPECT_EQ(remaining(), "Time remaining: 00:05:00");
}

// Notices and the 1.5 s tick both ask; the text changes once a second at most.
TEST_F(ScanProgressTest, TheRemainingTimeChangesAtMostOnceASecond) {
    start();
    advance(10);
    EXPECT_EQ(remaining(), "Time remaining: 00:05:00");
    facade.remainingTime = QStringLiteral("00:04:00");
    clock.advance(900);
    advance(20);
    EXPECT_EQ(found(), "Files found: 200");
    EXPECT_EQ(remaining(), "Time remaining: 00:05:00");
    clock.advance(100);
    advance(21);
    EXPECT_EQ(remaining(), "Time remaining: 00:04:00");
    // The tick at 1.5 s comes 0.5 s after that change.
    facade.remainingTime = QStringLiteral("00:03:00");
    clock.advance(500);
    EXPECT_EQ(remaining(), "Time remaining: 00:04:00");
    // The tick at 3 s may.
    clock.advance(1500);
    EXPECT_EQ(remaining(), "Time remaining: 00:03:00");
}

TEST_F(ScanProgressTest, TheTicksBarIsNeverBelowOnePercent) {
    start();
    advance(30);
    window->progressView->resize(3000, KvProgressView::kBarHeight);
    facade.advanceScan(0);  // the facade answers 0 % for a moment
    clock.advance(1500);
    EXPECT_EQ(window->progressView->pProgress1()->width(), 30);
    facade.advanceScan(50);
    clock.advance(1500);
    EXPECT_EQ(window->progressView->pProgress1()->width(), 1500);
}

TEST_F(ScanProgressTest, TheTickStopsAtAHundredPercent) {
    start();
    advance(30);
    ASSERT_TRUE(window->getPorTimer);
    EXPECT_EQ(window->getPorTimer->interval(), 1500);
    facade.advanceScan(100);
    clock.advance(1500);
    EXPECT_FALSE(window->getPorTimer);
}

TEST_F(ScanProgressTest, DotsStartAfterThirtyQuietSecondsAndStopWithinThreeOfNewData) {
    start();
    advance(30);
    const QString count = found();
    clock.advance(28'500);
    EXPECT_EQ(found().trimmed(), count);
    EXPECT_FALSE(window->foundCountTimer);
    // The tick at 30 s starts the dots; they step once a second.
    clock.advance(1'500);
    ASSERT_TRUE(window->foundCountTimer);
    clock.advance(1'000);
    EXPECT_EQ(found(), count + ".");
    clock.advance(1'000);
    EXPECT_EQ(found(), count + "..");
    clock.advance(1'000);
    EXPECT_EQ(found(), count + "...");
    clock.advance(1'000);
    EXPECT_EQ(found(), count + " ");
    // New data at 34.2 s; the tick at 34.5 s stops the dots.
    clock.advance(200);
    advance(40);
    const QString newCount = found();
    clock.advance(300);
    EXPECT_FALSE(window->foundCountTimer);
    EXPECT_EQ(found(), newCount + " ");
    clock.advance(5'000);
    EXPECT_EQ(found(), newCount + " ");
}

TEST_F(ScanProgressTest, TheEndSwitchesToBrowsingWithTheTotals) {
    start();
    advance(50);
    finish();
    EXPECT_TRUE(window->findFilesLabel->isHidden());
    EXPECT_TRUE(window->remainTimeLabel->isHidden());
    EXPECT_TRUE(window->progressView->isHidden());
    EXPECT_TRUE(window->pauseButton->isHidden());
    EXPECT_TRUE(window->stopButton->isHidden());
    EXPECT_FALSE(window->selectFilesLabel->isHidden());
    EXPECT_FALSE(window->recovertyButton->isHidden());
    EXPECT_TRUE(window->selectFilesLabel->text().startsWith("1000 files found, "));
    EXPECT_TRUE(Usable(window->advButton));
    EXPECT_EQ(window->isCanClick, 1);
    // Nothing is left ticking.
    EXPECT_FALSE(window->getPorTimer);
    EXPECT_FALSE(window->foundCountTimer);
}

// Closing during the scan: once it has stopped the window goes and the
// program is asked to end; the totals are never shown.
TEST_F(ScanProgressTest, CloseDuringTheScanEndsTheProgramWithoutTotals) {
    start();
    advance(50);
    const QString totalsBefore = window->selectFilesLabel->text();
    int terminations = 0;
    QObject context;
    KvNotificationCenter::defaultCenter()->observe(kvnote::kAppWillTerminate, &context,
                                                   [&](const QVariant&) { ++terminations; });
    // The user answered yes to stopping the scan.
    window->alertEndedCloseWindowContext(1);
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(window->isHidden());
    EXPECT_EQ(window->selectFilesLabel->text(), totalsBefore);
}

// The offer comes at the end of the first two quick scans, once a window,
// and closes itself 8 s after it came.
TEST_F(ScanProgressTest, TheOfferComesAfterTheFirstTwoQuickScans) {
    struct Case {
        const char* stored;  // null: as the program comes
        int mode;            // 1 quick, 2 deep
        bool import;
        bool shown;
        const char* after;
    };
    const Case cases[] = {
        {nullptr, 1, false, true, "1"}, {"0", 1, false, true, "1"},  {"1", 1, false, true, "2"},
        {"2", 1, false, false, "2"},    {"0", 2, false, false, "0"}, {"0", 1, true, false, "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.stored ? c.stored : "default") << " mode " << c.mode
                                        << " import " << c.import);
        QFile::remove(PrivateData::userCopyPath());
        if (c.stored != nullptr) {
            ASSERT_TRUE(PrivateData::setValue("IsFristTime", QString(c.stored)));
        }
        if (c.import) {
            window = std::make_unique<KvDeletailWindowController>();
            window->setClock(&clock);
            window->getImportData(QStringLiteral("/tmp/result.Harbex"));
            window->getScanProgress();
        } else {
            start(c.mode);
            advance(50);
            finish();
        }
        EXPECT_EQ(window->attachedWindow != nullptr, c.shown);
        EXPECT_EQ(PrivateData::value("IsFristTime").toString(),
                  c.stored == nullptr && !c.shown ? "YES" : c.after);
        // Later notices do not show it again.
        window->getScanProgress();
        EXPECT_EQ(PrivateData::value("IsFristTime").toString(),
                  c.stored == nullptr && !c.shown ? "YES" : c.after);
        if (c.shown) {
            clock.advance(7'900);
            EXPECT_TRUE(window->attachedWindow);
            clock.advance(100);
            EXPECT_FALSE(window->attachedWindow);
            EXPECT_EQ(window->isClodePopView, 1);
        }
        window.reset();
    }
}

TEST_F(ScanProgressTest, TheOfferPointsFourHundredAboveTheWindowsBottomEdge) {
    start();
    window->setGeometry(100, 80, 900, 640);
    window->show();
    advance(50);
    finish();
    ASSERT_TRUE(window->attachedWindow);
    // Below the point, reaching rightwards, 10 below it.
    const QPoint point = window->mapToGlobal(QPoint(80, 640 - 400));
    EXPECT_NEAR(window->attachedWindow->geometry().top(), point.y() + 10, 1);
    EXPECT_LE(window->attachedWindow->geometry().left(), point.x());
    EXPECT_GT(window->attachedWindow->geometry().right(), point.x());
    // It follows the window's bottom edge when the window grows.
    window->resize(1000, 740);
    const QPoint moved = window->mapToGlobal(QPoint(80, 740 - 400));
    ASSERT_TRUE(window->attachedWindow);
    EXPECT_NEAR(window->attachedWindow->geometry().top(), moved.y() + 10, 1);
}

// The deep-scan button empties the window and starts a deep scan of the same
// device 0.2 s later; the stop button comes back a second after that.
TEST_F(ScanProgressTest, TheDeepScanButtonRestartsTheDeviceAsADeepScan) {
    start();
    advance(50);
    finish();
    ASSERT_FALSE(window->allDiskArr.empty());
    window->advButton->click();
    EXPECT_FALSE(window->attachedWindow);
    EXPECT_TRUE(window->allDiskArr.empty());
    EXPECT_EQ(found(), "Files found: 0");
    EXPECT_EQ(remaining(), "Time remaining: -:-:-");
    EXPECT_FALSE(window->findFilesLabel->isHidden());
    EXPECT_TRUE(window->selectFilesLabel->isHidden());
    EXPECT_TRUE(window->advButton->isHidden());
    EXPECT_FALSE(Usable(window->stopButton));
    ASSERT_EQ(facade.scanRequests.size(), 1u);
    clock.advance(199);
    EXPECT_EQ(facade.scanRequests.size(), 1u);
    clock.advance(1);
    ASSERT_EQ(facade.scanRequests.size(), 2u);
    EXPECT_TRUE(facade.scanRequests.back().deep);
    EXPECT_FALSE(window->segment->isEnabled());
    clock.advance(999);
    EXPECT_FALSE(Usable(window->stopButton));
    clock.advance(1);
    EXPECT_TRUE(Usable(window->stopButton));
    // The new scan fills the emptied window.
    advance(30);
    EXPECT_FALSE(window->allDiskArr.empty());
    EXPECT_TRUE(window->advButton->isHidden());
}

}  // namespace
