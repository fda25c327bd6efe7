#include <gtest/gtest.h>

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include "CProgressNotify.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvUIPublic.h"
#include "MessageCenter.h"
#include "QtWait.h"

namespace {

using namespace bridgetest;
using namespace std::chrono_literals;

TEST(Notifications, PostsFromWorkersArriveOnTheMainThreadInOrder) {
    NotificationLog log;
    std::thread worker([] {
        for (int i = 0; i < 5; ++i)
            KvUIPublic::NotifyMainThread(QString("note %1").arg(i));
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return log.entries.size() == 5; }, 5000));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(log.entries[i].name, QString("note %1").arg(i));
        EXPECT_TRUE(log.entries[i].onMainThread);
    }
}

// However fast a worker posts while the main thread is busy, every post
// arrives, in the order posted: nothing waiting is folded into another.
TEST(Notifications, PostsWaitingForTheMainThreadAllArriveInOrder) {
    NotificationLog log;
    constexpr int kRounds = 1000;
    std::thread worker([] {
        for (int i = 0; i < kRounds; ++i) {
            KvUIPublic::NotifyMainThread("busy");
            KvUIPublic::NotifyMainThread("other");
        }
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return log.Count("other") == kRounds; }, 10000));
    Pump(100);
    ASSERT_EQ(log.entries.size(), 2u * kRounds);
    for (size_t i = 0; i < log.entries.size(); ++i)
        ASSERT_EQ(log.entries[i].name, i % 2 == 0 ? "busy" : "other") << "entry " << i;
}

// Each post shows the state at its place in the queue: one queued ahead of a
// change arrives before it, those behind it after.
TEST(Notifications, PostsAroundAQueuedChangeArriveOnEitherSideOfIt) {
    int changes = 0;
    NotificationLog log([&] { return changes; });
    std::thread worker([&] {
        KvUIPublic::NotifyMainThread("trees");
        KvNotificationCenter::defaultCenter()->enqueue([&] { ++changes; });
        KvUIPublic::NotifyMainThread("trees");
        KvUIPublic::NotifyMainThread("trees");
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return log.Count("trees") == 3; }, 5000));
    Pump(100);
    ASSERT_EQ(log.Count("trees"), 3);
    EXPECT_EQ(log.entries[0].probe, 0);
    EXPECT_EQ(log.entries[1].probe, 1);
    EXPECT_EQ(log.entries[2].probe, 1);
}

TEST(Notifications, PostAfterWorkComesOnlyOnceTheWorkHasReturned) {
    std::atomic<bool> workDone{false};
    NotificationLog log([&] { return workDone.load() ? 1 : 0; });
    KvUIPublic::NotifyMainThreadByPostKey("after work", [&] {
        std::this_thread::sleep_for(200ms);
        workDone = true;
    });
    ASSERT_TRUE(WaitFor([&] { return log.Count("after work") == 1; }, 5000));
    EXPECT_EQ(log.entries.back().probe, 1);
    EXPECT_TRUE(log.entries.back().onMainThread);
}

// A handler that runs a modal session of its own (the recovery's progress
// dialog) hears the notifications posted while it runs, already waiting or new.
TEST(Notifications, AHandlerInANestedEventLoopHearsLaterPosts) {
    KvNotificationCenter* center = KvNotificationCenter::defaultCenter();
    QObject context;
    std::vector<QString> heard;
    bool nested = false;
    center->observe("progress", &context, [&](const QVariant&) {
        heard.push_back("progress");
        if (nested)
            return;
        nested = true;
        QEventLoop loop;
        center->observe("end", &context, [&](const QVariant&) {
            heard.push_back("end");
            loop.quit();
        });
        QTimer::singleShot(0, [center] { center->enqueuePost("end"); });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
    });
    center->enqueuePost("progress");
    center->enqueuePost("waiting");
    ASSERT_TRUE(WaitFor([&] { return !heard.empty() && heard.back() == "end"; }, 5000));
    EXPECT_EQ(heard, std::vector<QString>({"progress", "end"}));
}

class RecordingObserver : public INotifyObserver {
public:
    void Notify(int type, void* data) override {
        std::lock_guard hold(lock);
        seen.push_back({type, data != nullptr ? *static_cast<char*>(data) : '-'});
    }
    size_t Count() {
        std::lock_guard hold(lock);
        return seen.size();
    }
    std::mutex lock;
    std::vector<std::pair<int, char>> seen;
};

// The delivery thread around a scan: started, given a type-1 centre,
// stopped again; leaves the shared centre as the engine tests expect it.
class EventBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        center->SetDeliveryInterval(50ms);
        center->StopReceiveMessage();
        center->StartReceiveMessage();
    }
    void TearDown() override {
        center->UnregisterNotifyCenter(EVENT_TYPE_BAD_SECTOR);
        center->SetDeliveryInterval(CMessageCenter::kDefaultDeliveryInterval);
        center->StopReceiveMessage();
        center->StartReceiveMessage();
    }
    CMessageCenter* center = CMessageCenter::Instance();
};

TEST_F(EventBusTest, DeliversQueuedEventsInPushOrderOnePerInterval) {
    CMyNotifyCenter notifyCenter;
    notifyCenter.SetType(EVENT_TYPE_BAD_SECTOR);
    RecordingObserver observer;
    notifyCenter.AddObserver(&observer);
    // Pushed before any centre is registered: they wait.
    for (char c : {'a', 'b', 'c'})
        center->PushEvent(EVENT_TYPE_BAD_SECTOR, 1, &c);
    center->PushEvent(EVENT_TYPE_BAD_SECTOR, 0, nullptr);

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(center->RegisterNotifyCenter(EVENT_TYPE_BAD_SECTOR, &notifyCenter));
    ASSERT_TRUE(WaitFor([&] { return observer.Count() == 4; }, 5000));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 3 * 50ms) << "four events need three pauses";
    const std::vector<std::pair<int, char>> expected = {{1, 'a'}, {1, 'b'}, {1, 'c'}, {1, '-'}};
    EXPECT_EQ(observer.seen, expected);

    // Once stopped, what is pushed is dropped.
    center->StopReceiveMessage();
    char late = 'z';
    center->PushEvent(EVENT_TYPE_BAD_SECTOR, 1, &late);
    EXPECT_EQ(center->PopEvent(), nullptr);
    notifyCenter.RemoveObserver(&observer);
}

TEST_F(EventBusTest, StopEndsTheDeliveryWithoutWaitingOutThePause) {
    center->SetDeliveryInterval(10s);
    CMyNotifyCenter notifyCenter;
    RecordingObserver observer;
    notifyCenter.AddObserver(&observer);
    ASSERT_TRUE(center->RegisterNotifyCenter(EVENT_TYPE_BAD_SECTOR, &notifyCenter));
    center->PushEvent(EVENT_TYPE_BAD_SECTOR, 0, nullptr);
    center->PushEvent(EVENT_TYPE_BAD_SECTOR, 0, nullptr);
    ASSERT_TRUE(WaitFor([&] { return observer.Count() == 1; }, 5000));
    const auto start = std::chrono::steady_clock::now();
    center->StopReceiveMessage();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(observer.Count(), 1u);  // the second was dropped unread
    center->UnregisterNotifyCenter(EVENT_TYPE_BAD_SECTOR);
    notifyCenter.RemoveObserver(&observer);
}

// A failed read during a scan reaches the windows as "BadSectorNotify", on
// the main thread, however busy the engine's threads are.
TEST_F(EventBusTest, BadSectorEventsBecomeMainThreadNotifications) {
    NotificationLog log;
    {
        CProgressNotify badSectors;
        ASSERT_NE(center->GetNotifyCenter(EVENT_TYPE_BAD_SECTOR), nullptr);
        std::thread reader([this] {
            for (int i = 0; i < 3; ++i)
                center->PushEvent(EVENT_TYPE_BAD_SECTOR, 0, nullptr);
        });
        reader.join();
        ASSERT_TRUE(WaitFor([&] { return log.Count(kvnote::kBadSectorNotify) == 3; }, 5000));
    }
    EXPECT_EQ(center->GetNotifyCenter(EVENT_TYPE_BAD_SECTOR), nullptr);
    for (const auto& entry : log.entries)
        EXPECT_TRUE(entry.onMainThread);
}

}  // namespace
