#pragma once

// The grid's fixed colours.

#include <QColor>

namespace CNGridViewPalette {

QColor itemBackgroundColor();
QColor itemBackgroundHoverColor();
QColor itemBackgroundSelectionColor();
QColor itemSelectionRingColor();
QColor itemTitleColor();
QColor itemTitleShadowColor();
QColor selectionFrameColor();

}  // namespace CNGridViewPalette
