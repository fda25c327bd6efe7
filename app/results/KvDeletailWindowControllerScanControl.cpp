// Pause, stop and home: the scan controls of the results window and the road
// back to a new main window.

#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "Alert.h"
#include "Images.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "KvProgressView.h"
#include "KvRootWindowReopen.h"
#include "KvSegmentedControl.h"
#include "KvUIFacade.h"
#include "ScanQuestion.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

constexpr int kStopDelayMs = 500;
constexpr int kEndScanPollMs = 1500;
constexpr int kRefreshAfterContinueMs = 500;
constexpr int kRootWindowDelayMs = 200;

KvShellWindows& RoadHomeWindows() {
    static KvShellWindows windows;
    return windows;
}

}  // namespace

void KvDeletailWindowController::setShellWindows(KvShellWindows windows) {
    RoadHomeWindows() = std::move(windows);
}

void KvDeletailWindowController::setUpScanControls() {
    connect(backHomeButton, &QAbstractButton::clicked, this,
            &KvDeletailWindowController::backButtonAction);
    for (TCImageButton* button : {pauseButton, continueScanButton})
        connect(button, &QAbstractButton::clicked, this,
                &KvDeletailWindowController::pauseButtonClick);
    connect(stopButton, &QAbstractButton::clicked, this, [this] { stopButtonClick(stopButton); });
}

void KvDeletailWindowController::clearSelectState() {
    KvUIFacade::current().KvCleanOpNodeSate();
}

void KvDeletailWindowController::pauseButtonClick() {
    KvUIFacade& facade = KvUIFacade::current();
    facade.PauseOrResumeScan();
    if (!facade.IsScanRunning()) {
        // It ended meanwhile.
        isPause = 0;
        facade.StopScan(1);
        isCanClick = 0;
        getScanProgress();
        facade.KvSetFlag(0);
        return;
    }
    // Non-zero when clearing the search started a new one.
    int searchStarted = 0;
    if (selectDesktop == 0) {
        searchStarted = searchClearButtonClick();
        stopAllImageLoadingAndWait();
    }
    isPause = isPause == 0 ? 1 : 0;
    isDeepScan = facade.IsDeepScan() ? 1 : 0;
    // A running deep scan shows the list only.
    if (isDeepScan == 1 && isPause == 0) {
        segment->setEnabled(false);
        segment->setSelectedSegment(0);
        segmentSelect(0);
    } else {
        segment->setEnabled(true);
    }
    if (isPause == 1) {
        isCanClick = 1;
        pauseButton->hide();
        continueScanButton->show();
        search->setEnabled(true);
        refashDetailPageDataWithRefashSizeAndCount(0);
        return;
    }
    // Marks made while paused do not outlive the scan going on; a new search
    // has dropped them already.
    if (searchStarted == 0)
        clearSelectState();
    if (selectDesktop == 0)
        reloadTreesFromRoots();
    pauseButton->show();
    continueScanButton->hide();
    search->setEnabled(false);
    recovertyButton->setButtonEnabled(false);
    selectFilesLabel->hide();
    progressView->show();
    findFilesLabel->show();
    remainTimeLabel->show();
    if (selectDesktop == 0)
        continueRefreshDelay = clock().start(kRefreshAfterContinueMs, false, [this] {
            refashDetailPageDataWithRefashSizeAndCount(1);
        });
}

void KvDeletailWindowController::stopButtonClick(TCImageButton* sender) {
    if (isCloseWindow == 1)
        return;
    sender->setIcon(Images::named(sender->isChecked() ? "del_press" : "del_normal"));
    alertEndedBContext(AskWithScanPaused(ScanStopAlert(), this, isPause == 1));
}

void KvDeletailWindowController::alertEndedBContext(int code) {
    if (code == 0) {
        // Scanning on; a scan the user had paused stays paused.
        if (isPause == 0) {
            KvUIFacade::current().PauseOrResumeScan();
            isCanClick = 1;
        }
        return;
    }
    clearSelectState();
    searchClearButtonClick();
    isPause = 0;
    search->setEnabled(false);
    for (TCImageButton* button :
         {pauseButton, continueScanButton, stopButton, backHomeButton, recovertyButton})
        button->setButtonEnabled(false);
    stopDelay = clock().start(kStopDelayMs, false, [this] { stopAction(); });
}

void KvDeletailWindowController::stopAction() {
    // The tree of what was found is still built.
    KvUIFacade::current().StopScan(0);
    isCanClick = 0;
    continueScanButton->setButtonEnabled(false);
    refashDetailPageDataWithRefashSizeAndCount(0);
    endScanPoll = clock().start(kEndScanPollMs, true, [this] { doEndScan(); });
}

void KvDeletailWindowController::doEndScan() {
    if (KvUIFacade::current().IsScanRunning())
        return;
    endScanPoll.reset();
    getScanProgress();
    getPorTimer.reset();
}

void KvDeletailWindowController::backButtonAction() {
    if (isCloseWindow == 1)
        return;
    KvUIFacade& facade = KvUIFacade::current();
    if (!facade.IsScanRunning()) {
        doBackHomeAction(1);
        return;
    }
    const Alert alert =
        Alert::fromKeys("QOV_FOUR_SCAN_BACKHOME_TITLE", "QOV_FOUR_SCAN_BACKHOME_NODE",
                        "QOV_FOUR_SCAN_BACKHOME_YES_BUTTON", "QOV_FOUR_SCAN_BACKHOME_NO_BUTTON");
    alertEndedAContext(AskWithScanPaused(alert, this, facade.IsPause()));
}

void KvDeletailWindowController::alertEndedAContext(int code) {
    KvUIFacade& facade = KvUIFacade::current();
    if (code == 0) {
        if (isPause == 0)
            facade.PauseOrResumeScan();
        isCanClick = 1;
        return;
    }
    clearSelectState();
    getPorTimer.reset();
    isPause = 0;
    for (TCImageButton* button : {backHomeButton, continueScanButton, stopButton, recovertyButton})
        button->setButtonEnabled(false);
    // What was found so far is dropped, not built into a tree.
    facade.StopScan(1);
    isCanClick = 0;
    isSelectBackHome = 1;
    facade.ResetShouldBuild();
    // Otherwise the end of the scan leads home.
    if (!facade.IsScanRunning())
        doBackHomeAction(1);
}

int KvDeletailWindowController::SaveScanResult() {
    if (bSave == 1 || isImport == 1 || isSelectBackHome == 1)
        return 1;
    const Alert alert = Alert::fromKeys(
        "SAVE_SAME_DISK_WARNING", "SAVE_SCAN_TIP", "QOV_FOUR_SCAN_BACKHOME_YES_BUTTON",
        "QOV_FOUR_RECOVERY_NO_SPACE_YES_BUTTON", "QOV_FOUR_SCAN_BACKHOME_NO_BUTTON");
    switch (alert.run()) {
        case 1:
            // A save that was cancelled or failed keeps the window and its result.
            exportButtonAction();
            return bSave == 1 ? 1 : 0;
        case 0:
            return 0;
        default:
            return 1;
    }
}

void KvDeletailWindowController::doBackHomeAction(int ask) {
    if (ask != 0 && SaveScanResult() == 0)
        return;
    if (isBackHome == 1)
        return;
    isBackHome = 1;
    qInfo("begin back home");
    for (const OpNodeRef& root : allTypeArr)
        root->setNodeState(0);
    // Nothing may read the nodes or call into the window once it has closed.
    stopWorkOfClosingWindow();
    saveSearchHistroy();
    arrList.clear();
    refreshTableView();
    coverFlowerTableView->viewport()->update();
    coverFlowerTableView->reset();
    isSelectOutlineList = 1;
    selectTypeCount = 0;
    KvUIFacade::current().SetViewType(0);
    remainTimeLabel->setText(Tr("QOV_FOUR_REMAININGTIME", QStringLiteral("-:-:-")));
    findFilesLabel->setText(Tr("QOV_FOUR_FILESFOUND", QStringLiteral("0")));
    progressView->changeProgressValue(0);
    stopObserving();
    hide();
    rootWindowDelay = clock().start(kRootWindowDelayMs, false, [this] { showRootWindow(); });
    qInfo("finish back home");
}

void KvDeletailWindowController::showRootWindow() {
    rootWindowDelay.reset();
    KvRootWindowReopen::open(RoadHomeWindows(), clock());
}

void KvDeletailWindowController::stopWorkOfClosingWindow() {
    stopAllImageLoadingAndWait();
    getPorTimer.reset();
    foundCountTimer.reset();
    if (refreshTimer != nullptr)
        refreshTimer->stop();
    stopDelay.reset();
    endScanPoll.reset();
    continueRefreshDelay.reset();
    // The deep-scan offer goes with the window; no delayed step runs on it.
    popupViewHidden();
    delayedCalls.clear();
}
