#include "FakeClock.h"

#include <algorithm>

namespace {

class FakeTimer : public KvClockTimer {
public:
    explicit FakeTimer(std::shared_ptr<FakeClock::Entry> entry) : entry_(std::move(entry)) {}
    ~FakeTimer() override { entry_->active = false; }
    bool isActive() const override { return entry_->active; }
    int interval() const override { return entry_->interval; }

private:
    std::shared_ptr<FakeClock::Entry> entry_;
};

}  // namespace

std::unique_ptr<KvClockTimer> FakeClock::start(int ms, bool repeating, std::function<void()> tick) {
    auto entry = std::make_shared<Entry>();
    entry->due = now_ + std::max(ms, 0);
    entry->interval = ms;
    entry->repeating = repeating;
    entry->order = started_++;
    entry->tick = std::move(tick);
    std::erase_if(entries_, [](const std::weak_ptr<Entry>& e) { return e.expired(); });
    entries_.push_back(entry);
    return std::make_unique<FakeTimer>(std::move(entry));
}

std::shared_ptr<FakeClock::Entry> FakeClock::nextDue(qint64 until) const {
    std::shared_ptr<Entry> next;
    for (const std::weak_ptr<Entry>& weak : entries_) {
        std::shared_ptr<Entry> entry = weak.lock();
        if (!entry || !entry->active || entry->due > until)
            continue;
        if (!next || entry->due < next->due ||
            (entry->due == next->due && entry->order < next->order))
            next = entry;
    }
    return next;
}

void FakeClock::advance(qint64 ms) {
    const qint64 until = now_ + ms;
    while (std::shared_ptr<Entry> entry = nextDue(until)) {
        now_ = entry->due;
        if (entry->repeating)
            entry->due += std::max(entry->interval, 1);
        else
            entry->active = false;
        // The tick may stop or start timers, its own included.
        const std::function<void()> tick = entry->tick;
        tick();
    }
    now_ = until;
}

int FakeClock::activeTimers() const {
    return static_cast<int>(
        std::count_if(entries_.begin(), entries_.end(), [](const std::weak_ptr<Entry>& weak) {
            auto entry = weak.lock();
            return entry && entry->active;
        }));
}
