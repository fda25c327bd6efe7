#pragma once

// The geometry of the attached pop-up: where a bubble of a given shape goes
// next to a point, on which side, and its outline. Everything here is in
// bottom-left terms (y grows upwards), screen points for frames, window
// points for the outline; the pop-up converts to Qt's terms once.

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace MAAttached {

// Where the bubble lies relative to the point, and so where its arrow sits.
enum Side {
    kLeft = 0,             // arrow in the middle of the right edge
    kBelow = 1,            // arrow in the middle of the top edge
    kRight = 2,            // arrow in the middle of the left edge
    kAbove = 3,            // arrow in the middle of the bottom edge
    kLeftUpward = 4,       // right edge, by the bottom-right corner
    kLeftDownward = 5,     // right edge, by the top-right corner
    kRightUpward = 6,      // left edge, by the bottom-left corner
    kRightDownward = 7,    // left edge, by the top-left corner
    kAboveLeftward = 8,    // bottom edge, by the bottom-right corner
    kAboveRightward = 9,   // bottom edge, by the bottom-left corner
    kBelowLeftward = 10,   // top edge, by the top-right corner
    kBelowRightward = 11,  // top edge, by the top-left corner
    kAutomatic = 12,       // chosen so that the bubble fits on the screen
};

enum class Group { kNone, kLeft, kBelow, kRight, kAbove };
Group groupOf(int side);

struct Shape {
    QSizeF viewSize;
    double viewMargin = 2.0;
    double arrowBaseWidth = 0.0;
    double arrowHeight = 0.0;
    double cornerRadius = 8.0;
    bool drawsRoundCornerBesideArrow = true;
    bool hasArrow = true;
    // Points to drawing units.
    double scale = 1.0;

    // How far from its corner an arrow placed by a corner points.
    double arrowInset() const;
};

// The side for a point: below when the bubble fits under it, else right,
// left, above, and below when nothing fits; then moved off the centre when a
// centred bubble would reach past the parent's frame. `screen` is the visible
// area of the parent's screen, `parentFrame` the parent (the screen when none).
int bestSide(const Shape& shape, QPointF point, double distance, const QRectF& screen,
             const QRectF& parentFrame);

struct Frames {
    QRectF window;  // on the screen
    QRectF view;    // inside the window
};
// The window's frame for a point and side, and the view's frame inside it.
// A side outside 0-11 leaves the window at the point.
Frames frames(const Shape& shape, QPointF point, int side, double distance);

// The outline of the bubble with its arrow, in the window, for a view at `viewFrame`.
QPainterPath bubblePath(const Shape& shape, const QRectF& viewFrame, int side);

}  // namespace MAAttached
