// Recovering the checked files into a folder the user chooses, with the
// copy's progress and its end in dialogs.

#include <QFileDialog>
#include <QStringList>
#include <QTimer>

#include "Alert.h"
#include "KvDeletailWindowController.h"
#include "KvNotificationNames.h"
#include "KvScanEndSaveWindowController.h"
#include "KvScanNotEndSaveWindowController.h"
#include "KvShowScanProgressWindowController.h"
#include "KvUIFacade.h"
#include "ModalRunner.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

// How far the title of a chooser as tall as the window stays below the window's.
constexpr int kChooserDrop = 75;
// The same-device alert's "choose again" reopens the chooser after this long.
constexpr int kChooseAgainDelayMs = 500;

void CentreOn(QWidget* dialog, const QWidget* over) {
    dialog->move(over->frameGeometry().center() - dialog->rect().center());
}

}  // namespace

void KvDeletailWindowController::setUpRecovery() {
    QObject::connect(recovertyButton, &QAbstractButton::clicked, this,
                     [this] { recoveryButtonClick(); });
}

void KvDeletailWindowController::observeRecovery() {
    observe(kvnote::kDoRecovery, &KvDeletailWindowController::recoveryAction);
}

void KvDeletailWindowController::recoveryButtonClick() {
    if (refusedWithoutDevice())
        return;
    recovertyButton->setButtonEnabled(false);
    isRecoveryEndSHowWindow = 1;
    delete panel;
    panel = new QFileDialog(this);
    panel->setObjectName(QStringLiteral("recoveryChooser"));
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setFileMode(QFileDialog::Directory);
    panel->setOption(QFileDialog::ShowDirsOnly);
    panel->setWindowModality(Qt::WindowModal);
    panel->setWindowTitle(Tr("QOV_FOUR_RECOVERY_NODE"));
    panel->setLabelText(QFileDialog::Accept, Tr("QOV_FOUR_RECOVERY_WINDOW_SAVE_BUTTON"));
    if (rectNew.width() == 0 && rectNew.height() == 0)
        rectNew = frameGeometry().adjusted(0, kChooserDrop, 0, 0);
    // The remembered frame is the chooser's content: its title bar comes on top.
    panel->setGeometry(rectNew);
    QFileDialog* chooser = panel;
    QObject::connect(chooser, &QDialog::finished, this, [this, chooser](int result) {
        const QString folder = chooser->selectedFiles().value(0);
        chooserEnded(result, folder);
    });
    panel->open();
}

void KvDeletailWindowController::chooserEnded(int result, const QString& folder) {
    if (panel) {
        rectNew = panel->geometry();
        panel->hide();
        panel->deleteLater();
    }
    recovertyButton->setButtonEnabled(true);
    if (result != QDialog::Accepted)
        return;
    recoverySavePathStr = folder;
    switch (RecoveryChecks::Check(recoverySavePathStr, selectedFileSize, recoveryEnvironment)) {
        case RecoveryChecks::Outcome::kNotWritable:
            alertNoCompetence();
            break;
        case RecoveryChecks::Outcome::kSameDevice:
            alertSameDevice();
            break;
        case RecoveryChecks::Outcome::kNoSpace:
            alertNoLeakOfSpace();
            break;
        case RecoveryChecks::Outcome::kPass:
            startRecovery();
            break;
    }
}

bool KvDeletailWindowController::refusedWithoutDevice() {
    if (!KvUIFacade::current().IsResultWithoutDevice())
        return false;
    Alert::fromKeys("QOV_FOUR_DEVICE_MISSING_TITLE", "QOV_FOUR_DEVICE_MISSING_NODE",
                    "QOV_FOUR_RECOVERY_NO_COMPETENCE_YES_BUTTON")
        .run(this);
    return true;
}

void KvDeletailWindowController::alertNoCompetence() {
    const Alert alert = Alert::fromKeys("QOV_FOUR_RECOVERY_NO_COMPETENCE_TITLE",
                                        "QOV_FOUR_RECOVERY_NO_COMPETENCE_NODE",
                                        "QOV_FOUR_RECOVERY_NO_COMPETENCE_YES_BUTTON");
    alertEndedCompetenceContext(alert.run(this));
}

void KvDeletailWindowController::alertSameDevice() {
    const Alert alert =
        Alert::fromKeys("QOV_FOUR_SAVE_SAME_PATH_TITLE", "QOV_FOUR_SAVE_SAME_PATH_NODE",
                        "QOV_FOUR_SAVE_SAME_PATH_YES_BUTTON", "QOV_FOUR_SAVE_SAME_PATH_NO_BUTTON");
    alertEndedEContext(alert.run(this));
}

void KvDeletailWindowController::alertNoLeakOfSpace() {
    const Alert alert = Alert::fromKeys(
        "QOV_FOUR_RECOVERY_NO_SPACE_TITLE", "QOV_FOUR_RECOVERY_NO_SPACE_NODE",
        "QOV_FOUR_RECOVERY_NO_SPACE_YES_BUTTON", "QOV_FOUR_RECOVERY_NO_SPACE_NO_BUTTON");
    alertEndedNoSpaceContext(alert.run(this));
}

void KvDeletailWindowController::alertEndedCompetenceContext(int /*code*/) {}

void KvDeletailWindowController::alertEndedEContext(int code) {
    if (code == 1)
        QTimer::singleShot(kChooseAgainDelayMs, this, [this] { recoveryButtonClick(); });
    else if (code == 0)
        startRecovery();
}

void KvDeletailWindowController::alertEndedNoSpaceContext(int code) {
    if (code == 0)
        startRecovery();
}

const OpNodeArray* KvDeletailWindowController::shownTreeRoots() const {
    switch (selectTypeCount) {
        case 0:
            return &allDiskArr;
        case 1:
            return &allTypeArr;
        case 2:
            return &allCreatTimeArr;
        case 3:
            return &allModifyTimeArr;
        default:
            return nullptr;
    }
}

void KvDeletailWindowController::startRecovery() {
    isFinishRecovery = 0;
    isBeginRecovery = 1;
    const OpNodeArray* roots = shownTreeRoots();
    if (roots == nullptr)
        return;
    const int64_t code = KvUIFacade::current().DoRecovery(*roots, recoverySavePathStr,
                                                          QString::fromLatin1(kvnote::kDoRecovery));
    if (code == 0)
        return;
    // Nothing copies: no notice will come to end this recovery.
    isBeginRecovery = 0;
    isFinishRecovery = 1;
    Alert alert;
    alert.message = Tr("QOV_FOUR_RECOVERY_NOT_STARTED_TITLE");
    alert.informativeText = Tr("QOV_FOUR_RECOVERY_NOT_STARTED_NODE");
    alert.run(this);
    recovertyButton->setButtonEnabled(true);
}

void KvDeletailWindowController::recoveryAction() {
    // An ended recovery hears nothing more, whatever its last notices say.
    if (isFinishRecovery == 1)
        return;
    KvUIFacade& facade = KvUIFacade::current();
    if (!recoveryProgressWindow && facade.IsRecoveryRunning()) {
        recoveryProgressWindow = new KvShowScanProgressWindowController(this);
        QObject::connect(recoveryProgressWindow,
                         &KvShowScanProgressWindowController::stopButtonAction, this,
                         [this](int request) { stopButtonAction(request); });
        CentreOn(recoveryProgressWindow, this);
    }
    uint64_t total = 0;
    uint64_t current = 0;
    int64_t errorCode = 0;
    const QString fileName = facade.GetRecoveryProgressTotal(total, current, errorCode);
    if (KvShowScanProgressWindowController* dialog = recoveryProgressWindow) {
        // The out-of-space face only for a full destination the copy waits on.
        const bool waitsForRoom = errorCode > 0 && dialog->setNoMemeryViewHidden(errorCode);
        if (!waitsForRoom) {
            const double percent =
                total != 0 && current != 0
                    ? static_cast<double>(current) * 100.0 / static_cast<double>(total)
                    : 0.0;
            dialog->changeProgressValue(percent, fileName);
        }
    }
    // Every notice may be the last, whatever error it carries.
    if (!facade.IsRecoveryRunning()) {
        isFinishRecovery = 1;
        closeRecoveryProgress();
        if (isRecoveryEndSHowWindow == 1)
            showRecoveryEnd(kRecoveryFinished);
        return;
    }
    if (isBeginRecovery == 1 && recoveryProgressWindow)
        runRecoveryProgress();
}

void KvDeletailWindowController::runRecoveryProgress() {
    isBeginRecovery = 0;
    KvShowScanProgressWindowController* dialog = recoveryProgressWindow;
    progressRunning_ = true;
    ModalRunner::runModalForWindow(dialog);
    progressRunning_ = false;
    // Only now, with its session off the stack, may an ended dialog go.
    if (dialog != recoveryProgressWindow)
        dialog->deleteLater();
    activateWindow();
    const RecoveryEnd end = pendingRecoveryEnd_;
    pendingRecoveryEnd_ = kRecoveryNoEnd;
    if (end != kRecoveryNoEnd)
        showRecoveryEnd(end);
}

void KvDeletailWindowController::closeRecoveryProgress() {
    KvShowScanProgressWindowController* dialog = recoveryProgressWindow;
    if (dialog == nullptr)
        return;
    recoveryProgressWindow = nullptr;
    dialog->hide();
    // Its own session, not whichever is innermost; the frame that runs it
    // lets it go once the run has returned.
    ModalRunner::stopModal(dialog);
    if (!progressRunning_)
        dialog->deleteLater();
}

void KvDeletailWindowController::showRecoveryEnd(RecoveryEnd end) {
    // An end window opened inside the progress dialog's session would keep
    // that session on the stack: it waits until the run has returned.
    if (progressRunning_) {
        pendingRecoveryEnd_ = end;
        return;
    }
    if (end == kRecoveryFinished)
        showRecoveryEndWindow();
    else
        showRecoveryNotEndWindow();
}

void KvDeletailWindowController::stopButtonAction(int request) {
    KvUIFacade& facade = KvUIFacade::current();
    if (request == KvShowScanProgressWindowController::kPauseOrResume) {
        facade.PauseOrResumeRecovery();
        return;
    }
    const bool ended = isFinishRecovery == 1;
    isFinishRecovery = 1;
    isRecoveryEndSHowWindow = 0;
    closeRecoveryProgress();
    if (ended)
        return;
    facade.StopRecvoery();
    showRecoveryEnd(kRecoveryStopped);
}

void KvDeletailWindowController::showRecoveryEndWindow() {
    KvUIFacade& facade = KvUIFacade::current();
    const KvRecoveryCounts counts = facade.GetRecoveryCounts();
    const uint64_t copied = counts.recovered + counts.partly;
    const uint64_t failed = counts.failed + counts.skipped;
    // Files not copied, and files copied only in part, are named apart from
    // the whole ones.
    if (failed > 0 || counts.partly > 0) {
        Alert alert;
        alert.message =
            Tr(failed > 0 ? "QOV_FOUR_RECOVERY_FAILED_TITLE" : "QOV_FOUR_RECOVERY_PARTLY_TITLE");
        QStringList lines;
        if (failed > 0) {
            lines << Tr("QOV_FOUR_RECOVERY_FAILED_NODE", QString::number(failed),
                        QString::number(copied + failed));
        }
        if (counts.partly > 0) {
            lines << Tr("QOV_FOUR_RECOVERY_PARTLY_NODE", QString::number(copied),
                        QString::number(counts.partly));
        }
        alert.informativeText = lines.join(QLatin1Char('\n'));
        alert.run(this);
        if (copied == 0)
            return;
    }
    if (scanEndSaveWC)
        scanEndSaveWC->deleteLater();
    scanEndSaveWC = new KvScanEndSaveWindowController(this);
    scanEndSaveWC->setSavePathStr(recoverySavePathStr);
    scanEndSaveWC->setPartlyRecovered(counts.partly);
    CentreOn(scanEndSaveWC, this);
    ModalRunner::runModalForWindow(scanEndSaveWC);
    activateWindow();
}

void KvDeletailWindowController::showRecoveryNotEndWindow() {
    if (scanNotEndSaceWC)
        scanNotEndSaceWC->deleteLater();
    scanNotEndSaceWC = new KvScanNotEndSaveWindowController(this);
    CentreOn(scanNotEndSaceWC, this);
    scanNotEndSaceWC->changeRecoveryFilesPoint(
        static_cast<double>(KvUIFacade::current().GetRecoveridedFiles()), recoverySavePathStr,
        static_cast<double>(KvUIFacade::current().GetRecoveryCounts().partly));
    ModalRunner::runModalForWindow(scanNotEndSaceWC);
    activateWindow();
}
