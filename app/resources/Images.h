#pragma once

// The program's pictures by name, at the screen's scale (1x or 2x art).

#include <QPixmap>
#include <QString>

namespace Images {

// A null pixmap for a name the program has no picture of.
QPixmap named(const QString& name);

}  // namespace Images
