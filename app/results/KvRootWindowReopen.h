#pragma once

// The road back from the results window to a new main window. The window is
// shown at once but takes no input until the device list has been built
// again: a scan that is still stopping is waited for, then the list is built
// on a bridge worker, never on the main thread, and the ready notice
// ("aInitFinished") frees the window.

#include "KvShellWindows.h"

class KvClock;
class KvRootWindowController;

namespace KvRootWindowReopen {

// How often a stopping scan is asked whether it has ended.
inline constexpr int kStopPollMs = 100;

// The new main window, marked as not the first; it lives until the program ends.
KvRootWindowController* open(const KvShellWindows& windows, KvClock& clock);

}  // namespace KvRootWindowReopen
