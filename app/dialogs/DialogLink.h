#pragma once

// The links of the notice, about and update windows: blue, underlined text
// with a pointing hand, opening the program's web page of a link key.

#include <QRectF>
#include <QString>

class KvHandButton;
class QWidget;

// A link button at `frame` (bottom-left terms in a parent `parentHeight` high).
KvHandButton* MakeDialogLink(QWidget* parent, const QString& text, const QRectF& frame,
                             double parentHeight);
