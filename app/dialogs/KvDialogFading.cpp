#include "KvDialogFading.h"

#include <QEvent>
#include <QWidget>

#include <utility>

#include "Fader.h"
#include "ModalRunner.h"

KvDialogFading::KvDialogFading(QWidget* window, bool fadesOnClose)
    : QObject(window), window_(window), fadesOnClose_(fadesOnClose) {
    window->installEventFilter(this);
}

void KvDialogFading::closeNow() {
    if (!window_)
        return;
    ModalRunner::stopModal(window_);
    closing_ = true;
    window_->close();
    closing_ = false;
    quitIfShuttingDown();
}

bool KvDialogFading::applicationShouldTerminate(std::function<void()> terminate) {
    if (shuttingDown_)
        return true;
    shuttingDown_ = true;
    terminate_ = std::move(terminate);
    if (fadesOnClose_) {
        windowShouldClose();
    } else if (window_) {
        // Its close control has a meaning of its own (the wait window stops
        // the work and waits for its end): the quit waits until it closes.
        window_->close();
    }
    return false;
}

bool KvDialogFading::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_)
        return false;
    if (event->type() == QEvent::Show && (!shown_ || window_->windowOpacity() == 0.0)) {
        shown_ = true;
        Fader::fadeIn(window_);
    } else if (event->type() == QEvent::Close && fadesOnClose_ && !closing_) {
        // The close control fades the dialog; it closes once the fade ends.
        event->ignore();
        windowShouldClose();
        return true;
    }
    return false;
}

void KvDialogFading::windowShouldClose() {
    if (fading_)
        return;
    fading_ = true;
    Fader::fadeOut(window_, [this] { animationDidStop(); });
}

void KvDialogFading::animationDidStop() {
    fading_ = false;
    if (!window_)
        return;
    ModalRunner::stopModal(window_);
    if (window_->windowOpacity() == 0.0) {
        closing_ = true;
        window_->close();
        closing_ = false;
    }
    quitIfShuttingDown();
}

void KvDialogFading::quitIfShuttingDown() {
    if (!shuttingDown_)
        return;
    // Once, however the window went.
    if (std::function<void()> terminate = std::exchange(terminate_, {}))
        terminate();
}
