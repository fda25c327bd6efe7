#include "ZoomWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QVBoxLayout>

#include "Fader.h"

ZoomWindow::ZoomWindow(const QRect& frame)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setGeometry(frame);
}

double ZoomWindow::animationResizeTime(const QRect&) const {
    const bool slowMotion = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
    return kStandardResizeSeconds * multiplier_ * (slowMotion ? 10.0 : 1.0);
}

std::unique_ptr<ZoomWindow> createZoomWindowWithRect(QWidget* window, const QRect&) {
    // grab() renders the window even when it has never been shown.
    const QPixmap snapshot = window->grab();
    auto zoom = std::make_unique<ZoomWindow>(window->frameGeometry());
    zoom->setAnimationTimeMultiplier(0.3);
    zoom->setWindowFlag(Qt::WindowStaysOnTopHint,
                        window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    auto* image = new QLabel(zoom.get());
    image->setPixmap(snapshot);
    image->setScaledContents(true);
    auto* layout = new QVBoxLayout(zoom.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(image);
    return zoom;
}

void fadeIn(QWidget* window) {
    window->setWindowOpacity(0.0);
    window->show();
    window->raise();
    Fader::fadeIn(window, 300);
}

void zoomInWithOvershot(QWidget* window, bool, bool, bool) {
    window->setWindowOpacity(0.0);
}
