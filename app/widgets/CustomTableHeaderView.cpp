#include "CustomTableHeaderView.h"

#include <QPainter>

QRect CustomTableHeaderView::interiorRect(const QRect& frame) {
    return frame.adjusted(0, 0, 0, -1);
}

void CustomTableHeaderView::drawWithFrame(QPainter& painter, const QRect& frame) const {
    drawWithFrame(painter, frame, false);
}

void CustomTableHeaderView::highlight(bool highlighted, QPainter& painter,
                                      const QRect& frame) const {
    drawWithFrame(painter, frame, highlighted);
}

void CustomTableHeaderView::drawWithFrame(QPainter& painter, const QRect& frame,
                                          bool /*highlighted*/) const {
    const QRectF interior = interiorRect(frame);
    painter.fillRect(interior, Qt::white);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::black, 0.3));
    painter.drawLine(interior.topRight(), interior.bottomRight());
    const QRectF whole = frame;
    painter.drawLine(QPointF(whole.left(), whole.bottom()), QPointF(whole.right(), whole.bottom()));
    painter.drawLine(interior.topLeft(), interior.topRight());
    painter.restore();
    painter.drawText(interior, Qt::AlignLeft | Qt::AlignVCenter, title_);
}
