#include <gtest/gtest.h>

#include <QStringList>

#include "FakeClock.h"
#include "KvScanProgressText.h"

namespace {

TEST(ScanProgressTextTest, TheCountShowsOnceSomethingIsFoundOrPastOnePercent) {
    struct Case {
        double percent;
        uint64_t files;
        const char* found;
    };
    const Case cases[] = {
        {0.0, 0, "Please wait..."},
        {1.0, 0, "Please wait..."},
        {1.01, 0, "Files found: 0"},
        {0.0, 5, "Files found: 5"},
        {57.0, 123456, "Files found: 123456"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScanProgressText::FoundText(c.percent, c.files), c.found)
            << c.percent << " % " << c.files;
}

TEST(ScanProgressTextTest, TheRemainingTimeChangesAtMostOnceASecond) {
    struct Case {
        int64_t last;
        int64_t now;
        bool allowed;
    };
    const Case cases[] = {
        {0, 5'000, true},  // never changed
        {5'000, 5'000, false}, {5'000, 5'999, false},
        {5'000, 6'000, true},  {5'000, 4'000, true},  // the clock was set back
    };
    for (const Case& c : cases) {
        int64_t last = c.last;
        EXPECT_EQ(ScanProgressText::MayUpdateRemaining(last, c.now), c.allowed)
            << c.last << " -> " << c.now;
        EXPECT_EQ(last, c.allowed ? c.now : c.last);
    }
}

TEST(ScanProgressTextTest, DotsStartAfterThirtyQuietSecondsAndStopOnFreshData) {
    struct Case {
        int64_t quietMs;
        QuietDots dots;
    };
    const Case cases[] = {
        {0, QuietDots::Stop},      {2'999, QuietDots::Stop},   {3'000, QuietDots::Keep},
        {29'999, QuietDots::Keep}, {30'000, QuietDots::Start}, {600'000, QuietDots::Start},
        {-5'000, QuietDots::Stop},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QuietDotsFor(c.quietMs), c.dots) << c.quietMs;
}

TEST(ScanProgressTextTest, DotsCycleOneTwoThreeAndABlank) {
    KvFoundCountDots dots;
    QStringList shown;
    for (int i = 0; i < 6; ++i)
        shown << dots.next();
    EXPECT_EQ(shown, (QStringList{".", "..", "...", " ", ".", ".."}));
    dots.restart();
    EXPECT_EQ(dots.next(), ".");
}

TEST(FakeClockTest, TimersFireInTimeOrderAndMayStopThemselves) {
    FakeClock clock;
    const qint64 start = clock.nowMs();
    std::vector<std::pair<char, qint64>> fired;
    std::unique_ptr<KvClockTimer> every;
    every = clock.start(1500, true, [&] {
        fired.emplace_back('r', clock.nowMs() - start);
        if (clock.nowMs() - start >= 4500)
            every.reset();
    });
    auto once = clock.start(2000, false, [&] { fired.emplace_back('o', clock.nowMs() - start); });
    clock.advance(10'000);
    const std::vector<std::pair<char, qint64>> expected = {
        {'r', 1500}, {'o', 2000}, {'r', 3000}, {'r', 4500}};
    EXPECT_EQ(fired, expected);
    EXPECT_FALSE(once->isActive());
    EXPECT_EQ(clock.activeTimers(), 0);
    EXPECT_EQ(clock.nowMs(), start + 10'000);
}

}  // namespace
