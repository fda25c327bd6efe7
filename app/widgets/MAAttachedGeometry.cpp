#include "MAAttachedGeometry.h"

#include <cmath>

namespace MAAttached {

namespace {

// Halves are taken in single precision, as the drawing units are.
double half(double value) {
    return static_cast<float>(value / 2.0);
}

// A quarter circle from the current point to `to`, bending through `corner`.
void appendCorner(QPainterPath& path, QPointF corner, QPointF to) {
    constexpr double kKappa = 0.5522847498;
    const QPointF from = path.currentPosition();
    path.cubicTo(from + (corner - from) * kKappa, to + (corner - to) * kKappa, to);
}

struct Arrow {
    Group group;
    double width;
    double height;
    bool drawn;

    void append(QPainterPath& path) const {
        if (!drawn)
            return;
        const QPointF at = path.currentPosition();
        const double x = at.x();
        const double y = at.y();
        const double w2 = half(width);
        switch (group) {
            case Group::kLeft:
                path.lineTo(x + height, y - w2);
                path.lineTo(x, y - width);
                break;
            case Group::kBelow:
                path.lineTo(x + w2, y + height);
                path.lineTo(x + width, y);
                break;
            case Group::kRight:
                path.lineTo(x - height, y + w2);
                path.lineTo(x, y + width);
                break;
            case Group::kAbove:
                path.lineTo(x - w2, y - height);
                path.lineTo(x - width, y);
                break;
            case Group::kNone:
                break;
        }
    }
};

}  // namespace

Group groupOf(int side) {
    switch (side) {
        case kLeft:
        case kLeftUpward:
        case kLeftDownward:
            return Group::kLeft;
        case kBelow:
        case kBelowLeftward:
        case kBelowRightward:
            return Group::kBelow;
        case kRight:
        case kRightUpward:
        case kRightDownward:
            return Group::kRight;
        case kAbove:
        case kAboveLeftward:
        case kAboveRightward:
            return Group::kAbove;
        default:
            return Group::kNone;
    }
}

double Shape::arrowInset() const {
    return ((drawsRoundCornerBesideArrow ? cornerRadius : 0.0) + arrowBaseWidth / 2.0) * scale;
}

int bestSide(const Shape& shape, QPointF point, double distance, const QRectF& screen,
             const QRectF& parentFrame) {
    const double m = shape.viewMargin * shape.scale;
    const double width = shape.viewSize.width() + 2 * m;
    const double height = shape.viewSize.height() + 2 * m;
    const double extra = shape.arrowHeight * shape.scale + distance;
    const double px = point.x();
    const double py = point.y();

    int side = kBelow;
    if (py - height - extra >= screen.top())
        side = kBelow;
    else if (px + width + extra < screen.right())
        side = kRight;
    else if (px - width - extra >= screen.left())
        side = kLeft;
    else if (py + height + extra < screen.bottom())
        side = kAbove;

    // QRectF's top() is the smaller y, which is the bottom edge in these terms.
    const double inset = shape.arrowInset();
    const double halfWidth = static_cast<float>(width / 2.0);
    const double halfHeight = static_cast<float>(height / 2.0);
    if (side == kLeft || side == kRight) {
        if (py - halfHeight < parentFrame.top() && py + height - inset < screen.bottom())
            side = side == kLeft ? kLeftUpward : kRightUpward;
        else if (py + halfHeight >= parentFrame.bottom() && py - height + inset >= screen.top())
            side = side == kLeft ? kLeftDownward : kRightDownward;
    } else {
        if (px - halfWidth < parentFrame.left() && px + width - inset < screen.right())
            side = side == kBelow ? kBelowRightward : kAboveRightward;
        else if (px + halfWidth >= parentFrame.right() && px - width + inset >= screen.left())
            side = side == kBelow ? kBelowLeftward : kAboveLeftward;
    }
    return side;
}

Frames frames(const Shape& shape, QPointF point, int side, double distance) {
    const double m = shape.viewMargin * shape.scale;
    const double h = shape.arrowHeight * shape.scale;
    const double inset = shape.arrowInset();
    QRectF view(m, m, shape.viewSize.width(), shape.viewSize.height());
    double width = shape.viewSize.width() + 2 * m;
    double height = shape.viewSize.height() + 2 * m;

    const Group group = groupOf(side);
    switch (group) {
        case Group::kLeft:
            width += h;
            break;
        case Group::kBelow:
            height += h;
            break;
        case Group::kRight:
            view.moveLeft(view.x() + h);
            width += h;
            break;
        case Group::kAbove:
            view.moveTop(view.y() + h);
            height += h;
            break;
        case Group::kNone:
            break;
    }

    double x = point.x();
    double y = point.y();
    switch (side) {
        case kLeft:
            x -= width;
            y -= half(height);
            break;
        case kBelow:
            y -= height;
            x -= half(width);
            break;
        case kRight:
            y -= half(height);
            break;
        case kAbove:
            x -= half(width);
            break;
        case kLeftUpward:
            x -= width;
            y -= inset;
            break;
        case kLeftDownward:
            x -= width;
            y -= height - inset;
            break;
        case kRightUpward:
            y -= inset;
            break;
        case kRightDownward:
            y -= height - inset;
            break;
        case kAboveLeftward:
            x -= width - inset;
            break;
        case kAboveRightward:
            x -= inset;
            break;
        case kBelowLeftward:
            y -= height;
            x -= width - inset;
            break;
        case kBelowRightward:
            x -= inset;
            y -= height;
            break;
        default:
            break;
    }

    switch (group) {
        case Group::kLeft:
            x -= distance;
            break;
        case Group::kBelow:
            y -= distance;
            break;
        case Group::kRight:
            x += distance;
            break;
        case Group::kAbove:
            y += distance;
            break;
        case Group::kNone:
            break;
    }
    return {QRectF(x, y, width, height), view};
}

QPainterPath bubblePath(const Shape& shape, const QRectF& viewFrame, int side) {
    const double s = shape.scale;
    const double m = shape.viewMargin * s;
    const QRectF area = viewFrame.adjusted(-m, -m, m, m);
    const double minX = std::ceil(area.left() * s + 0.5);
    const double maxX = std::floor(area.right() * s - 0.5);
    const double minY = std::ceil(area.top() * s + 0.5);
    const double maxY = std::floor(area.bottom() * s - 0.5);
    const double midX = static_cast<float>(area.center().x() * s);
    const double midY = static_cast<float>(area.center().y() * s);
    const double r = shape.cornerRadius * s;
    const double w = shape.arrowBaseWidth * s;
    const Arrow arrow{groupOf(side), w, shape.arrowHeight * s, shape.hasArrow};

    // A corner stays square beside an arrow placed at it, unless asked otherwise.
    const auto rounded = [&](int first, int second) {
        return r > 0 && (shape.drawsRoundCornerBesideArrow || (side != first && side != second));
    };
    const bool topLeft = rounded(kRightDownward, kBelowRightward);
    const bool topRight = rounded(kLeftDownward, kBelowLeftward);
    const bool bottomRight = rounded(kLeftUpward, kAboveLeftward);
    const bool bottomLeft = rounded(kRightUpward, kAboveRightward);

    QPainterPath path;
    // Top edge, rightwards.
    path.moveTo(topLeft ? minX + r : minX, maxY);
    double end = topRight ? maxX - r : maxX;
    if (side == kBelowRightward) {
        arrow.append(path);
    } else if (side == kBelow) {
        path.lineTo(midX - half(w), maxY);
        arrow.append(path);
    } else if (side == kBelowLeftward) {
        path.lineTo(end - w, maxY);
        arrow.append(path);
    }
    path.lineTo(end, maxY);
    if (topRight)
        appendCorner(path, {maxX, maxY}, {maxX, maxY - r});

    // Right edge, downwards.
    end = bottomRight ? minY + r : minY;
    if (side == kLeftDownward) {
        arrow.append(path);
    } else if (side == kLeft) {
        path.lineTo(maxX, midY + half(w));
        arrow.append(path);
    } else if (side == kLeftUpward) {
        path.lineTo(maxX, end + w);
        arrow.append(path);
    }
    path.lineTo(maxX, end);
    if (bottomRight)
        appendCorner(path, {maxX, minY}, {maxX - r, minY});

    // Bottom edge, leftwards.
    end = bottomLeft ? minX + r : minX;
    if (side == kAboveLeftward) {
        arrow.append(path);
    } else if (side == kAbove) {
        path.lineTo(midX + half(w), minY);
        arrow.append(path);
    } else if (side == kAboveRightward) {
        path.lineTo(end + w, minY);
        arrow.append(path);
    }
    path.lineTo(end, minY);
    if (bottomLeft)
        appendCorner(path, {minX, minY}, {minX, minY + r});

    // Left edge, upwards.
    end = topLeft ? maxY - r : maxY;
    if (side == kRightUpward) {
        arrow.append(path);
    } else if (side == kRight) {
        path.lineTo(minX, midY - half(w));
        arrow.append(path);
    } else if (side == kRightDownward) {
        path.lineTo(minX, end - w);
        arrow.append(path);
    }
    path.lineTo(minX, end);
    if (topLeft)
        appendCorner(path, {minX, maxY}, {minX + r, maxY});
    path.closeSubpath();
    return path;
}

}  // namespace MAAttached
