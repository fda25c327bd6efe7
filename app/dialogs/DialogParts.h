#pragma once

// The pieces the dialogs' layouts share: the drawn title bar with the
// program's name, the pill buttons, the texts and pictures. Frames are points in
// bottom-left terms inside a parent of the given height.

#include <QRectF>
#include <QString>

class QLabel;
class QWidget;
class TCImageButton;
class TCImageWindow;

namespace DialogParts {

inline constexpr double kTitleBarHeight = 40;
inline constexpr double kTrafficLightMargin = 13;

// Sets the dialog's bar up and adds the title label at `labelX`.
QLabel* setUpTitleBar(TCImageWindow* window, double labelX);
// Gives the window a content view of that size below the bar; answers it.
QWidget* setUpContent(TCImageWindow* window, double width, double height);
// The same content view in a window that keeps its own size.
QWidget* addContentView(TCImageWindow* window, double width, double height);
// A pill button with a centred caption.
TCImageButton* makeButton(QWidget* parent, const QString& caption, const QRectF& frame,
                          double parentHeight);
// A text of `points` size; `wraps` lets it run over several lines.
QLabel* makeText(QWidget* parent, const QRectF& frame, double parentHeight, double points,
                 bool wraps = false);
// The named picture scaled to fill `frame`.
QLabel* makeImage(QWidget* parent, const QString& name, const QRectF& frame, double parentHeight);

}  // namespace DialogParts
