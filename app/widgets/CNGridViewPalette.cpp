#include "CNGridViewPalette.h"

namespace CNGridViewPalette {

QColor itemBackgroundColor() {
    return QColor::fromRgbF(0, 0, 0, 0.05f);
}

QColor itemBackgroundHoverColor() {
    return QColor::fromRgbF(0, 0, 0, 0.3f);
}

QColor itemBackgroundSelectionColor() {
    return QColor::fromRgbF(0, 0, 0, 0.25f);
}

QColor itemSelectionRingColor() {
    return QColor::fromRgbF(0.346f, 0.531f, 0.792f, 1.0f);
}

QColor itemTitleColor() {
    return QColor::fromRgbF(0.196f, 0.2f, 0.2f, 1.0f);
}

QColor itemTitleShadowColor() {
    return QColor::fromRgbF(1, 1, 1, 0.8f);
}

QColor selectionFrameColor() {
    return QColor(128, 128, 128);
}

}  // namespace CNGridViewPalette
