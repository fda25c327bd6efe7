#pragma once

// A borderless stand-in that shows a snapshot of a window, for zooming or
// fading a window in, and the window helpers that go with it.

#include <QRect>
#include <QWidget>

#include <memory>

class ZoomWindow : public QWidget {
    Q_OBJECT
public:
    // A resize animation's time before the multiplier, in seconds.
    static constexpr double kStandardResizeSeconds = 0.2;

    explicit ZoomWindow(const QRect& frame);

    double animationTimeMultiplier() const { return multiplier_; }
    void setAnimationTimeMultiplier(double multiplier) { multiplier_ = multiplier; }
    // How long resizing to `frame` takes; ten times as long while Shift is held.
    double animationResizeTime(const QRect& frame) const;

private:
    double multiplier_ = 1.0;
};

// A zoom window over `window`'s frame showing a snapshot of its content.
// `rect` does not shape it. The caller owns it.
std::unique_ptr<ZoomWindow> createZoomWindowWithRect(QWidget* window, const QRect& rect);
// Shows `window` from transparent to opaque over 0.3 s.
void fadeIn(QWidget* window);
// Only makes `window` transparent.
void zoomInWithOvershot(QWidget* window, bool overshot, bool fade, bool makeKey);
