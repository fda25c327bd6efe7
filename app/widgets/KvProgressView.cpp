#include "KvProgressView.h"

#include <QPainter>

#include <cmath>

#include "Geometry.h"

NSProgressBar::NSProgressBar(QWidget* parent) : QWidget(parent) {}

void NSProgressBar::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), QColor(53, 130, 248));
}

KvProgressView::KvProgressView(QWidget* parent) : QWidget(parent), bar_(new NSProgressBar(this)) {
    bar_->setGeometry(FromBottomLeft(QRectF(0, 0, 0, kBarHeight), height()));
}

void KvProgressView::changeProgressValue(float percent) {
    const float track = static_cast<float>(width());
    const float wanted = percent / 100.0f * track;
    const float bar = wanted > track - 1.0f ? track : std::max(wanted, kMinimumBar);
    bar_->setGeometry(FromBottomLeft(QRectF(0, 0, bar, kBarHeight), height()));
    bar_->update();
    update();
}

void KvProgressView::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), QColor(194, 198, 204));
}
