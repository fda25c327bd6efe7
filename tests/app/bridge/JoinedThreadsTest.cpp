#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "KvJoinedThreads.h"

namespace {

using namespace std::chrono_literals;

KvJoinedThreads& TestThreads() {
    static KvJoinedThreads threads([] { TestThreads().joinAll(); });
    return threads;
}

// A thread still running is waited for until the deadline, and joined once
// let go; one that ends is no longer waited for.
TEST(JoinedThreads, WaitsForRunningThreadsAndJoinsThemAll) {
    std::atomic<bool> release{false};
    std::atomic<int> ended{0};
    TestThreads().start([&] {
        while (!release)
            std::this_thread::sleep_for(1ms);
        ++ended;
    });
    TestThreads().start([&] { ++ended; }, 0x200000);
    EXPECT_FALSE(TestThreads().waitUntilFinished(std::chrono::steady_clock::now() + 100ms));
    EXPECT_FALSE(TestThreads().finished());
    release = true;
    EXPECT_TRUE(TestThreads().waitUntilFinished(std::chrono::steady_clock::now() + 5s));
    TestThreads().joinAll();
    EXPECT_EQ(ended, 2);
    EXPECT_TRUE(TestThreads().finished());
}

// Joining all ends the threads started so far, whatever they still do.
TEST(JoinedThreads, JoinAllReturnsOnlyOnceEveryThreadHasEnded) {
    std::atomic<int> ended{0};
    for (int i = 0; i < 4; ++i) {
        TestThreads().start([&] {
            std::this_thread::sleep_for(50ms);
            ++ended;
        });
    }
    TestThreads().joinAll();
    EXPECT_EQ(ended, 4);
}

}  // namespace
