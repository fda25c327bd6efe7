#include "KvClock.h"

#include <QDateTime>
#include <QTimer>

namespace {

class SystemTimer : public KvClockTimer {
public:
    SystemTimer(int ms, bool repeating, std::function<void()> tick) : timer_(new QTimer) {
        timer_->setInterval(ms);
        timer_->setSingleShot(!repeating);
        QObject::connect(timer_, &QTimer::timeout, timer_, std::move(tick));
        timer_->start();
    }
    // The timer may be the one whose tick is running: it goes once that is over.
    ~SystemTimer() override {
        timer_->stop();
        timer_->disconnect();
        timer_->deleteLater();
    }
    bool isActive() const override { return timer_->isActive(); }
    int interval() const override { return timer_->interval(); }

private:
    QTimer* timer_;
};

class SystemClock : public KvClock {
public:
    qint64 nowMs() override { return QDateTime::currentMSecsSinceEpoch(); }
    std::unique_ptr<KvClockTimer> start(int ms, bool repeating,
                                        std::function<void()> tick) override {
        return std::make_unique<SystemTimer>(ms, repeating, std::move(tick));
    }
};

}  // namespace

KvClock& KvClock::system() {
    static SystemClock clock;
    return clock;
}
