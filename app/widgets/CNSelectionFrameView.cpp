#include "CNSelectionFrameView.h"

#include <QPainter>

#include <cmath>

CNSelectionFrameView::CNSelectionFrameView(QWidget* parent) : QWidget(parent) {
    // The grid under the band keeps getting the drag.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CNSelectionFrameView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF band(0.5, 0.5, std::floor(double(width())) - 1, std::floor(double(height())) - 1);
    painter.fillRect(band, QColor::fromRgbF(0, 0, 0, 0.15f));
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(band);
}
