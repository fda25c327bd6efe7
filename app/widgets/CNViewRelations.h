#pragma once

// Direct parenthood between widgets; deeper descendants do not count.

class QWidget;

// True when `view` is one of `parent`'s direct children.
bool isSubviewOfView(const QWidget* view, const QWidget* parent);
// True when `child` is one of `view`'s direct children.
bool containsSubView(const QWidget* view, const QWidget* child);
