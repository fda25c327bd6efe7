#include "Fader.h"

#include <QPropertyAnimation>
#include <QWidget>

namespace Fader {

namespace {

bool& Enabled() {
    static bool enabled = true;
    return enabled;
}

constexpr int kFadeMilliseconds = 250;

QPropertyAnimation* Fade(QWidget* window, double from, double to,
                         int milliseconds = kFadeMilliseconds) {
    auto* animation = new QPropertyAnimation(window, "windowOpacity", window);
    animation->setDuration(milliseconds);
    animation->setStartValue(from);
    animation->setEndValue(to);
    return animation;
}

}  // namespace

void setEnabled(bool enabled) {
    Enabled() = enabled;
}

bool isEnabled() {
    return Enabled();
}

void fadeIn(QWidget* window, int milliseconds) {
    if (!Enabled()) {
        window->setWindowOpacity(1.0);
        return;
    }
    window->setWindowOpacity(0.0);
    Fade(window, 0.0, 1.0, milliseconds)->start(QAbstractAnimation::DeleteWhenStopped);
}

void fadeOut(QWidget* window, std::function<void()> done) {
    if (!Enabled()) {
        window->setWindowOpacity(0.0);
        done();
        return;
    }
    QPropertyAnimation* animation = Fade(window, window->windowOpacity(), 0.0);
    QObject::connect(animation, &QPropertyAnimation::finished, window, std::move(done));
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace Fader
