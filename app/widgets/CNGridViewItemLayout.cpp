#include "CNGridViewItemLayout.h"

#include "CNGridViewPalette.h"

CNGridViewItemLayout::CNGridViewItemLayout()
    : backgroundColor(CNGridViewPalette::itemBackgroundColor()),
      selectionRingColor(CNGridViewPalette::itemSelectionRingColor()) {
    QFont font("Helvetica");
    font.setPointSizeF(12);
    itemTitleTextAttributes.font = font;
    itemTitleTextAttributes.shadowColor = CNGridViewPalette::itemTitleShadowColor();
    itemTitleTextAttributes.shadowOffset = QPointF(0, -1);
    itemTitleTextAttributes.foregroundColor = CNGridViewPalette::itemTitleColor();
}
