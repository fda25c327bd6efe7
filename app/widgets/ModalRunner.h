#pragma once

// Modal sessions: a window runs in an event loop of its own until its session
// is stopped. Sessions nest; notifications posted to the main thread are
// delivered inside them, as in any event loop. Main thread only.

class QWidget;

namespace ModalRunner {

// Shows `window`, blocks input to the other windows and returns the code the
// session was stopped with.
int runModalForWindow(QWidget* window);
// Ends the innermost session with `code`; nothing when none runs.
void stopModal(int code = 0);
// Ends the session of `window` only (the sessions inside it end first, with 0).
void stopModal(QWidget* window, int code = 0);
bool isRunning(const QWidget* window);
int depth();

}  // namespace ModalRunner
