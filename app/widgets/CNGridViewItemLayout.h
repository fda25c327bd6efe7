#pragma once

// The look of a grid item. Items draw only the selection ring from it; the
// other values are kept for callers that style items themselves.

#include <QColor>
#include <QFont>
#include <QPointF>

#include <cstdint>

// How an item's title text is drawn.
struct CNItemTitleTextAttributes {
    QFont font;
    QColor shadowColor;
    QPointF shadowOffset;
    QColor foregroundColor;
    Qt::Alignment alignment = Qt::AlignHCenter;
};

class CNGridViewItemLayout {
public:
    static constexpr double kDefaultSelectionRingLineWidth = 3.0;
    static constexpr uint64_t kDefaultContentInset = 3;
    static constexpr uint64_t kDefaultItemBorderRadius = 5;

    // A new layout with the default look.
    static CNGridViewItemLayout defaultLayout() { return {}; }

    int32_t visibleContentMask = 3;
    QColor backgroundColor;
    QColor selectionRingColor;
    double selectionRingLineWidth = kDefaultSelectionRingLineWidth;
    uint64_t contentInset = kDefaultContentInset;
    uint64_t itemBorderRadius = kDefaultItemBorderRadius;
    CNItemTitleTextAttributes itemTitleTextAttributes;

    CNGridViewItemLayout();
};
