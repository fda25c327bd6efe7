#include "Geometry.h"

#include <cmath>

QRect FromBottomLeft(const QRectF& frame, double parentHeight) {
    const auto round = [](double v) { return static_cast<int>(std::lround(v)); };
    return QRect(round(frame.x()), round(parentHeight - frame.y() - frame.height()),
                 round(frame.width()), round(frame.height()));
}

QRectF ToBottomLeft(const QRect& rect, double parentHeight) {
    return QRectF(rect.x(), parentHeight - rect.y() - rect.height(), rect.width(), rect.height());
}
