#pragma once

// Dialogs fade in when shown and out when closed. Tests switch fading off, so
// windows appear and go at once.

#include <functional>

class QWidget;

namespace Fader {

void setEnabled(bool enabled);
bool isEnabled();
// Brings `window` from transparent to opaque.
void fadeIn(QWidget* window, int milliseconds = 250);
// Fades `window` out, then calls `done` (at once when fading is off).
void fadeOut(QWidget* window, std::function<void()> done);

}  // namespace Fader
