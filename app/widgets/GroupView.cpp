#include "GroupView.h"

#include <QPainter>

QRectF GroupView::frameRect(const QSizeF& size) {
    // Laid out from the bottom left: 18 from the left and the bottom, 36
    // narrower and 53 lower than the view; drawn on the half point.
    const double height = size.height() - 53;
    const QRectF frame(18, size.height() - 18 - height, size.width() - 36, height);
    return frame.adjusted(0.5, 0.5, -0.5, -0.5);
}

void GroupView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor::fromRgbF(0, 0, 0, 0.15f), 1));
    painter.setBrush(Qt::NoBrush);
    // The whole view, not the part being repainted: a partial repaint must
    // not draw a frame of its own.
    painter.drawRoundedRect(frameRect(size()), 2, 2);
}
