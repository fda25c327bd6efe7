#include "ResultsLayout.h"

#include <algorithm>

#include "Geometry.h"

namespace ResultsLayout {

int constrainMinCoordinate(int dividerIndex) {
    return dividerIndex == 0 ? kDividerMin : kOtherDividerMin;
}

int constrainMaxCoordinate(int dividerIndex) {
    return dividerIndex == 0 ? kDividerMax : kOtherDividerMax;
}

int constrainDivider(int position, int dividerIndex) {
    return std::clamp(position, constrainMinCoordinate(dividerIndex),
                      constrainMaxCoordinate(dividerIndex));
}

int clampLeftPaneWidth(int width) {
    return std::clamp(width, kLeftPaneMin, kLeftPaneMax);
}

bool showsNoValueNote(bool listEmpty, bool pathTreeHasRoots) {
    return listEmpty && pathTreeHasRoots;
}

QRect noteBoxFrame(const QSize& note) {
    const QRectF box(note.width() / 2.0 - 200, note.height() / 2.0, 400, 50);
    return FromBottomLeft(box, note.height());
}

}  // namespace ResultsLayout
