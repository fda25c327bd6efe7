#pragma once

// What the notice, about, update and preview windows do to their drawn
// title bars: a label of their own, and a close button of their own.

#include <QFont>
#include <QRectF>

#include <functional>

class QLabel;
class TCImageWindow;

// A left-aligned label at `frame` (bottom-left terms) in the window's bar.
QLabel* AddTitleLabel(TCImageWindow* window, const QRectF& frame, const QFont& font);
// The bar's close button runs `action` instead of closing the window.
void RetargetCloseButton(TCImageWindow* window, std::function<void()> action);
