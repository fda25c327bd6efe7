#pragma once

// Frames in the layouts are given with the origin at the bottom left of the
// parent, y growing upwards; Qt puts the origin at the top left.

#include <QRect>
#include <QRectF>

// A frame of that kind inside a parent `parentHeight` high, in Qt's terms.
// Coordinates round to the nearest point, halves away from zero.
QRect FromBottomLeft(const QRectF& frame, double parentHeight);
QRectF ToBottomLeft(const QRect& rect, double parentHeight);
