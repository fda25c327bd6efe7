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

}  // namespace
