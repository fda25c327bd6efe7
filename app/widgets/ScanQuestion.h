#pragma once

// Questions asked while a scan runs: the scan waits, paused, until the user
// has answered.

#include "Alert.h"

class QWidget;

// Whether to stop the running scan ("Stop the scan?").
Alert ScanStopAlert();
// Pauses the running scan unless `paused` says it is already, then asks
// `alert` on `window` (the whole application when null); answers the alert's
// code. Resuming is the caller's, as the answer decides.
int AskWithScanPaused(const Alert& alert, QWidget* window, bool paused);
