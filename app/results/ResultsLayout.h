#pragma once

// Layout rules of the results window: how far the split between the trees
// and the files may move, the width the tree pane keeps when the window is
// resized, and where the note for a node without files goes.

#include <QRect>
#include <QSize>

namespace ResultsLayout {

// Dragging the first divider stays within these; other dividers within
// kOtherDividerMin..kOtherDividerMax.
constexpr int kDividerMin = 224;
constexpr int kDividerMax = 400;
constexpr int kOtherDividerMin = 1500;
constexpr int kOtherDividerMax = 5000;
// A window resize keeps the tree pane within these.
constexpr int kLeftPaneMin = 223;
constexpr int kLeftPaneMax = 400;

int constrainMinCoordinate(int dividerIndex);
int constrainMaxCoordinate(int dividerIndex);
// A proposed divider position within its limits.
int constrainDivider(int position, int dividerIndex);
int clampLeftPaneWidth(int width);

// Whether the no-files note shows: the list is empty and the path tree has roots.
bool showsNoValueNote(bool listEmpty, bool pathTreeHasRoots);
// The box with the arrow and the sentence, centred across the note of size
// `note` with its lower edge at half height; Qt coordinates.
QRect noteBoxFrame(const QSize& note);

}  // namespace ResultsLayout
