#include <gtest/gtest.h>

#include <atomic>

#include "KvNotificationNames.h"
#include "KvScanUpdates.h"
#include "KvUIScan.h"
#include "QtWait.h"

namespace {

using namespace bridgetest;

// Scan updates against a clock the test moves; the refresher counts rebuilds.
class ScanUpdatesTest : public ::testing::Test {
protected:
    void SetUp() override {
        updates->SetClock([this] { return now.load(); });
        updates->SetTreeRefresher([this](int final) { (final ? finals : batches)++; });
        updates->Reset();
        KvUIScan::instance()->SetOpTreeFinished(1);
        Pump(50);  // nothing of an earlier test is left to arrive
    }
    void TearDown() override {
        Pump(2100);  // let any deferred post of this test arrive here
        updates->SetTreeRefresher(nullptr);
        updates->SetClock(nullptr);
        updates->Reset();
        KvUIScan::instance()->SetOpTreeFinished(1);
    }
    int Posts(const NotificationLog& log) const { return log.Count(kvnote::kNormalScanValue); }

    KvScanUpdates* updates = KvScanUpdates::instance();
    std::atomic<int64_t> now{100000};
    std::atomic<int> batches{0};
    std::atomic<int> finals{0};
};

TEST_F(ScanUpdatesTest, BatchesWithinTwoSecondsPostOnceAndTheLastIsDeferredNotDropped) {
    NotificationLog log;
    updates->Notify(0);  // the first after a reset posts at once
    now += 500;
    updates->Notify(0);
    now += 500;
    updates->Notify(0);
    Pump(100);
    EXPECT_EQ(Posts(log), 1);
    EXPECT_EQ(batches.load(), 1);
    // The batches inside the window are shown once it has passed.
    ASSERT_TRUE(WaitFor([&] { return Posts(log) == 2; }, 3000));
    EXPECT_EQ(batches.load(), 2);
    now += 2000;
    updates->Notify(0);
    ASSERT_TRUE(WaitFor([&] { return Posts(log) == 3; }, 1000));
}

TEST_F(ScanUpdatesTest, FinalUpdateAlwaysPostsAndNothingFollowsIt) {
    NotificationLog log;
    updates->Notify(0);
    Pump(100);
    now += 300;
    updates->Notify(0);  // deferred
    updates->Notify(1);  // inside the window, yet posted
    ASSERT_TRUE(WaitFor([&] { return Posts(log) == 2; }, 1000));
    EXPECT_EQ(finals.load(), 1);
    Pump(2100);  // the deferred batch post is void: the final showed it
    EXPECT_EQ(Posts(log), 2);
    EXPECT_EQ(batches.load(), 1);
}

// While a window rebuilds the trees nothing is refreshed; the final update
// is made as soon as the rebuild ends instead of being lost.
TEST_F(ScanUpdatesTest, FinalUpdateDuringARebuildIsMadeWhenTheRebuildEnds) {
    NotificationLog log;
    KvUIScan::instance()->SetOpTreeFinished(0);
    updates->Notify(0);
    updates->Notify(1);
    Pump(100);
    EXPECT_EQ(Posts(log), 0);
    EXPECT_EQ(finals.load(), 0);
    KvUIScan::instance()->SetOpTreeFinished(1);
    ASSERT_TRUE(WaitFor([&] { return Posts(log) == 1; }, 1000));
    EXPECT_EQ(finals.load(), 1);
}

}  // namespace
