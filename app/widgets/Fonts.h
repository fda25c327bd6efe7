#pragma once

// The layouts ask for Helvetica and Helvetica Light; the program draws both
// with DejaVu Sans, sized in pixels, so every machine and every screenshot
// shows the same text.

#include <QFont>

namespace Fonts {

inline constexpr const char* kFamily = "DejaVu Sans";

// Makes Helvetica faces resolve to DejaVu Sans and sets the application font.
// Call once after the application object exists.
void install();
QFont helvetica(double points);
QFont helveticaLight(double points);
// The regular size of control and title texts.
inline constexpr double kSystemFontSize = 13.0;

}  // namespace Fonts
