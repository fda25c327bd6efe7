#include "ScanQuestion.h"

#include "KvUIFacade.h"
#include "Tr.h"

Alert ScanStopAlert() {
    Alert alert;
    alert.message = Tr("QOV_FOUR_SCAN_STOP_TITLE");
    alert.informativeText = Tr("QOV_FOUR_SCAN_STOP_NODE");
    alert.defaultButton = Tr("QOV_FOUR_SCAN_STOP_YES_BUTTON");
    alert.alternateButton = Tr("QOV_FOUR_SCAN_STOP_NO_BUTTON");
    return alert;
}

int AskWithScanPaused(const Alert& alert, QWidget* window, bool paused) {
    if (!paused)
        KvUIFacade::current().PauseOrResumeScan();
    return alert.run(window);
}
