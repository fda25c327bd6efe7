// The status area while a scan runs, the switch to browsing when it ends,
// the deep-scan offer and the deep scan started from its button.

#include <QLabel>
#include <QLineEdit>

#include "FileListModel.h"
#include "KvDeepScanOffer.h"
#include "KvDeepScanViewController.h"
#include "KvDeletailWindowController.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvProgressView.h"
#include "KvScanProgressText.h"
#include "KvSegmentedControl.h"
#include "KvUIFacade.h"
#include "MAAttachedWindow.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

constexpr int kProgressTickMs = 1500;
constexpr int kDotTickMs = 1000;
constexpr int kDeepScanStartDelayMs = 200;
constexpr int kStopButtonDelayMs = 1000;
constexpr int kDesktopSearchDelayMs = 300;

void ShowOrHide(std::initializer_list<QWidget*> widgets, bool shown) {
    for (QWidget* widget : widgets)
        if (widget != nullptr)
            widget->setVisible(shown);
}

}  // namespace

void KvDeletailWindowController::setClock(KvClock* clock) {
    progressClock = clock != nullptr ? clock : &KvClock::system();
}

void KvDeletailWindowController::getScanProgress() {
    KvUIFacade& facade = KvUIFacade::current();
    isDeepScan = facade.IsDeepScan() ? 1 : 0;
    if (isDeepScan != 0 && isPause == 0) {
        segment->setEnabled(false);
        placeDeepScanControls();
        advButton->hide();
    } else {
        segment->setEnabled(true);
    }

    double percent = 0;
    uint64_t files = 0;
    const QString remaining = facade.GetScanProgress(percent, files);
    const bool mayUpdateRemaining =
        ScanProgressText::MayUpdateRemaining(lastUpdateTime, progressClock->nowMs());
    if (ScanProgressText::ShowsCount(percent, files)) {
        findFilesLabel->setText(ScanProgressText::FoundText(percent, files));
        if (mayUpdateRemaining)
            remainTimeLabel->setText(ScanProgressText::RemainingText(remaining));
    } else {
        findFilesLabel->setText(QString::fromLatin1(ScanProgressText::kPleaseWait));
        remainTimeLabel->setText(QString::fromLatin1(ScanProgressText::kPrepareToScan));
    }

    if (files > 0) {
        if (!getPorTimer && facade.IsScanRunning() && !facade.IsPause())
            getPorTimer =
                progressClock->start(kProgressTickMs, true, [this] { showScanProgree(); });
        progressView->changeProgressValue(static_cast<float>(percent));
    }

    if (!facade.IsScanRunning() && endScan())
        return;

    if (isCanClick == 1) {
        if (!facade.KvGetIsSearching())
            backHomeButton->setButtonEnabled(true);
        pauseButton->setButtonEnabled(true);
        stopButton->setButtonEnabled(true);
    }
}

bool KvDeletailWindowController::endScan() {
    KvUIFacade& facade = KvUIFacade::current();
    // The ticks have nothing left to show.
    getPorTimer.reset();
    foundCountTimer.reset();

    if (selectSegmentCount_ == 2)
        flowView->releaseCache();
    // The path tree gets its file-system roots even while another tree is shown.
    if (selectTypeCount != 0 && selectDesktop != 1) {
        facade.SetViewType(0);
        facade.RefreshData();
        facade.GetScanTreeNodeData(&allDiskArr, 0);
        facade.SetViewType(static_cast<int>(selectTypeCount));
    }

    segment->setEnabled(true);
    search->setEnabled(true);
    for (QWidget* scanning :
         {static_cast<QWidget*>(continueButton), static_cast<QWidget*>(deepScanLabel),
          static_cast<QWidget*>(progressView), static_cast<QWidget*>(pauseButton),
          static_cast<QWidget*>(stopButton), static_cast<QWidget*>(continueScanButton),
          static_cast<QWidget*>(findFilesLabel), static_cast<QWidget*>(remainTimeLabel)}) {
        if (scanning != nullptr)
            scanning->hide();
    }
    recovertyButton->show();
    selectFilesLabel->show();
    isDeepScan = facade.IsDeepScan() ? 1 : 0;
    if (exportButton != nullptr)
        exportButton->setButtonEnabled(true);

    if (isDeepScan == 0 && isImport == 0) {
        advButton->setButtonEnabled(true);
        if (!deepScanVC && DeepScanOffer::TakeTurn()) {
            deepScanVC = new KvDeepScanViewController(this);
            connect(deepScanVC, &KvDeepScanViewController::popupViewHidden, this,
                    &KvDeletailWindowController::popupViewHidden);
            showPopoverWithViewController(deepScanVC);
        }
    }
    isCanClick = 1;

    if (isCloseWindow == 1) {
        stopWorkOfClosingWindow();
        hide();
        KvNotificationCenter::defaultCenter()->post(QString::fromLatin1(kvnote::kAppWillTerminate));
        return true;
    }
    if (isSelectBackHome == 1)
        doBackHomeAction(1);
    setFoundAllFiles();
    // A window on its way home searches nothing.
    if (selectDesktop == 1 && isBackHome == 0)
        runAfter(kDesktopSearchDelayMs, [this] { doEndScanSearch(); });
    return false;
}

void KvDeletailWindowController::showScanProgree() {
    if (oldData.isValid()) {
        switch (QuietDotsFor(progressClock->nowMs() - oldData.toMSecsSinceEpoch())) {
            case QuietDots::Start:
                beginShowFoundCountPoint();
                break;
            case QuietDots::Stop:
                stopShowFoundCountPoint();
                break;
            case QuietDots::Keep:
                break;
        }
    }
    if (doShowScanProgree() >= 100.0)
        getPorTimer.reset();
}

double KvDeletailWindowController::doShowScanProgree() {
    KvUIFacade& facade = KvUIFacade::current();
    double percent = 0;
    uint64_t files = 0;
    const QString remaining = facade.GetScanProgress(percent, files);
    if (percent > 0 && isCanClick == 1) {
        if (!facade.KvGetIsSearching())
            backHomeButton->setButtonEnabled(true);
        stopButton->setButtonEnabled(true);
    }
    if (ScanProgressText::MayUpdateRemaining(lastUpdateTime, progressClock->nowMs()))
        remainTimeLabel->setText(ScanProgressText::RemainingText(remaining));
    // A bar is never shorter than 1 %; a value that is not a number counts as that.
    const double shown = percent >= 1.0 ? percent : 1.0;
    progressView->changeProgressValue(static_cast<float>(shown));
    return shown;
}

void KvDeletailWindowController::beginShowFoundCountPoint() {
    if (foundCountTimer)
        return;
    pointCount.restart();
    foundCountTimer = progressClock->start(kDotTickMs, true, [this] { showFoundCountPoint(); });
}

void KvDeletailWindowController::showFoundCountPoint() {
    getFindFilesCountWith(pointCount.next());
}

void KvDeletailWindowController::stopShowFoundCountPoint() {
    getFindFilesCountWith(QStringLiteral(" "));
    foundCountTimer.reset();
}

void KvDeletailWindowController::getFindFilesCountWith(const QString& suffix) {
    double percent = 0;
    uint64_t files = 0;
    KvUIFacade::current().GetScanProgress(percent, files);
    const QString text = ScanProgressText::FoundText(percent, files);
    if (!text.isEmpty() && text != QStringLiteral(" "))
        findFilesLabel->setText(text + suffix);
}

void KvDeletailWindowController::showRecoveryButton() {
    selectFilesLabel->show();
    progressView->hide();
    findFilesLabel->hide();
    remainTimeLabel->hide();
    double percent = 0;
    uint64_t files = 0;
    KvUIFacade::current().GetScanProgress(percent, files);
    progressView->changeProgressValue(static_cast<float>(percent >= 1.0 ? percent : 1.0));
}

void KvDeletailWindowController::setUpScanProgress() {
    connect(advButton, &QAbstractButton::clicked, this,
            &KvDeletailWindowController::deepSrcanButtonAction);
}

void KvDeletailWindowController::runAfter(int ms, std::function<void()> what) {
    std::erase_if(delayedCalls, [](const auto& timer) { return !timer->isActive(); });
    delayedCalls.push_back(progressClock->start(ms, false, std::move(what)));
}

void KvDeletailWindowController::showPopoverWithViewController(QWidget* view) {
    if (!attachedWindow) {
        attachedWindow =
            MAAttachedWindow::create(view, DeepScanOffer::kAnchor, this,
                                     MAAttached::kBelowRightward, DeepScanOffer::kDistance);
        popView = view;
        if (attachedWindow)
            attachedWindow->show();
    }
    runAfter(DeepScanOffer::kCloseAfterMs, [this] { popupViewHidden(); });
}

void KvDeletailWindowController::popupViewHidden() {
    if (attachedWindow) {
        // The offer's view stays the window's, so it is offered once a window.
        if (popView) {
            popView->hide();
            popView->setParent(this);
        }
        attachedWindow->hide();
        delete attachedWindow.data();
    }
    isClodePopView = 1;
}

void KvDeletailWindowController::moveDeepScanOffer() {
    if (isClodePopView == 0 && attachedWindow)
        attachedWindow->setPoint(DeepScanOffer::kAnchor, MAAttached::kBelowRightward);
}

void KvDeletailWindowController::deepSrcanButtonAction() {
    clearSelectState();
    popupViewHidden();
    // The picture loaders hold nodes of the trees that are about to go.
    stopAllImageLoadingAndWait();

    remainTimeLabel->setText(ScanProgressText::RemainingText(QStringLiteral("-:-:-")));
    findFilesLabel->setText(Tr("QOV_FOUR_FILESFOUND", QStringLiteral("0")));
    progressView->changeProgressValue(0);
    isCanClick = 1;
    isPause = 0;
    isDeepScan = 1;

    arrList.clear();
    listModel->reloadData();
    KvUIFacade::current().KvResetTreeNodeData();
    reloadTreesFromRoots();
    showNoValueNote();

    for (TCImageButton* button : {backHomeButton, pauseButton, stopButton, exportButton})
        if (button != nullptr)
            button->setButtonEnabled(false);
    continueScanButton->setButtonEnabled(true);
    listTableViewBlowView->show();
    coverFlower->hide();
    gridView->hide();
    selectFilesLabel->hide();
    ShowOrHide({continueButton, deepScanLabel, advButton}, false);
    ShowOrHide({progressView, pauseButton, stopButton, findFilesLabel, remainTimeLabel}, true);
    placeDeepScanControls();
    runAfter(kDeepScanStartDelayMs, [this] { doDeepScanAction(); });
}

void KvDeletailWindowController::doDeepScanAction() {
    // Back to the list, which is the only view of a deep scan.
    segment->setSelectedSegment(0);
    segmentSelect(0);
    segment->setEnabled(false);
    ClearSelectedFilesInfo();
    bSave = 0;
    KvUIFacade& facade = KvUIFacade::current();
    facade.ResetShouldBuild();
    search->setEnabled(false);
    search->clear();
    facade.DoDeepScan();
    getPorTimer.reset();
    runAfter(kStopButtonDelayMs, [this] { setStopButtonCanBeUseState(); });
}
