#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "Locks.h"

namespace {

TEST(Locks, SimpleCsCanBeEnteredAgainByItsOwner) {
    SimpleCs cs;
    SimpleLock outer(&cs, "outer");
    SimpleLock inner(&cs, "inner");
    SimpleLock none(nullptr, "none");
    SUCCEED();
}

TEST(Locks, AutolockerSerialisesUpdates) {
    mutex_locker lock;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                autolocker<mutex_locker> hold(lock);
                ++counter;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(counter, 80000);
}

}  // namespace
