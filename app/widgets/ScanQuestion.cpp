#include "ScanQuestion.h"

#include "KvUIFacade.h"

Alert ScanStopAlert() {
    return Alert::fromKeys("QOV_FOUR_SCAN_STOP_TITLE", "QOV_FOUR_SCAN_STOP_NODE",
                           "QOV_FOUR_SCAN_STOP_YES_BUTTON", "QOV_FOUR_SCAN_STOP_NO_BUTTON");
}

int AskWithScanPaused(const Alert& alert, QWidget* window, bool paused) {
    if (!paused)
        KvUIFacade::current().PauseOrResumeScan();
    return alert.run(window);
}
