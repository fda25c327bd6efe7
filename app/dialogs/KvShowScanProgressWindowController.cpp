#include "KvShowScanProgressWindowController.h"

#include <QLabel>

#include "DialogParts.h"
#include "Fonts.h"
#include "Geometry.h"
#include "KvDialogFading.h"
#include "KvProgressView.h"
#include "KvUIFacade.h"
#include "ModalRunner.h"
#include "ResultCode.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

constexpr double kWidth = 460;
constexpr double kHeight = 170;

}  // namespace

KvShowScanProgressWindowController::KvShowScanProgressWindowController(QWidget* parent)
    : TCImageWindow(parent), fading_(new KvDialogFading(this)) {
    aTitleLabel_ = DialogParts::setUpTitleBar(this, 80);
    DialogParts::setUpContent(this, kWidth, kHeight);
    using DialogParts::makeButton;
    using DialogParts::makeText;

    recoveryProgressView_ = makeFace();
    titleLabel_ = makeText(recoveryProgressView_, {30, 115, 400, 26}, kHeight, 16);
    titleLabel_->setText(Tr("QOV_FOUR_RECOVER_PROGRESS_TITLE"));
    scaningFileName_ = makeText(recoveryProgressView_, {30, 82, 400, 20}, kHeight, 12);
    progressBar_ = new KvProgressView(recoveryProgressView_);
    progressBar_->setGeometry(FromBottomLeft({30, 65, 400, KvProgressView::kBarHeight}, kHeight));
    progressBar_->changeProgressValue(0);
    stopButton_ = makeButton(recoveryProgressView_, Tr("QOV_FOUR_RECOVERY_STOP_YES_BUTTON"),
                             {330, 15, 100, 30}, kHeight);

    const Prompt warning =
        makePrompt("QOV_FOUR_RECOVERY_STOP_TITLE", "QOV_FOUR_RECOVERY_STOP_NODE",
                   "QOV_FOUR_RECOVERY_STOP_NO_BUTTON", "QOV_FOUR_RECOVERY_STOP_YES_BUTTON");
    warningView_ = warning.view;
    warningTitle_ = warning.title;
    warningNode_ = warning.node;
    noButton_ = warning.no;
    yesButton_ = warning.yes;
    const Prompt noSpace =
        makePrompt("QOV_FOUR_RECOVERY_NO_SPACE_TITLE", "QOV_FOUR_RECOVERY_NO_SPACE_NODE",
                   "QOV_FOUR_RECOVERY_NO_SPACE_NO_BUTTON", "QOV_FOUR_RECOVERY_NO_SPACE_YES_BUTTON");
    noMemeryView_ = noSpace.view;
    noMemeryTitle_ = noSpace.title;
    noMemeryNode_ = noSpace.node;
    noMemeryContinueButton_ = noSpace.no;
    noMemeryCancelButton_ = noSpace.yes;

    connect(stopButton_, &QAbstractButton::clicked, this,
            &KvShowScanProgressWindowController::stopProgressButtonAction);
    connect(noButton_, &QAbstractButton::clicked, this,
            &KvShowScanProgressWindowController::noButtonAction);
    connect(yesButton_, &QAbstractButton::clicked, this,
            &KvShowScanProgressWindowController::yesButtonAction);
    connect(noMemeryContinueButton_, &QAbstractButton::clicked, this,
            &KvShowScanProgressWindowController::continueButtonAction);
    connect(noMemeryCancelButton_, &QAbstractButton::clicked, this,
            &KvShowScanProgressWindowController::cancelButtonAction);
    showFace(recoveryProgressView_);
}

KvShowScanProgressWindowController::~KvShowScanProgressWindowController() = default;

QWidget* KvShowScanProgressWindowController::makeFace() {
    auto* face = new QWidget(contentView());
    face->setGeometry(0, 0, kWidth, kHeight);
    return face;
}

KvShowScanProgressWindowController::Prompt KvShowScanProgressWindowController::makePrompt(
    const char* title, const char* node, const char* no, const char* yes) {
    Prompt prompt;
    prompt.view = makeFace();
    prompt.title = DialogParts::makeText(prompt.view, {30, 115, 400, 26}, kHeight, 16);
    prompt.title->setText(Tr(title));
    prompt.node = DialogParts::makeText(prompt.view, {30, 60, 400, 50}, kHeight, 13, true);
    prompt.node->setText(Tr(node));
    prompt.no = DialogParts::makeButton(prompt.view, Tr(no), {210, 15, 100, 30}, kHeight);
    prompt.yes = DialogParts::makeButton(prompt.view, Tr(yes), {330, 15, 100, 30}, kHeight);
    return prompt;
}

void KvShowScanProgressWindowController::showFace(QWidget* face) {
    for (QWidget* each : {recoveryProgressView_, warningView_, noMemeryView_})
        each->setVisible(each == face);
}

void KvShowScanProgressWindowController::changeProgressValue(double percent,
                                                             const QString& fileName) {
    progressValue_ = percent;
    progressBar_->changeProgressValue(static_cast<float>(percent));
    if (fileName.isNull())
        return;
    fileName_ = fileName;
    scaningFileName_->setText(scaningFileName_->fontMetrics().elidedText(
        fileName, Qt::ElideMiddle, scaningFileName_->width()));
    scaningFileName_->setToolTip(fileName);
    scaningFileName_->update();
}

bool KvShowScanProgressWindowController::isNoSpaceError(int64_t errorCode) {
    return ResultKindOf(static_cast<RESULT_CODE>(errorCode)) == kResultWriteFailed;
}

bool KvShowScanProgressWindowController::setNoMemeryViewHidden(int64_t errorCode) {
    // Other failures are counted by the copy and go on; only a full
    // destination holds the copy until the user answers.
    if (!isNoSpaceError(errorCode) || !KvUIFacade::current().IsRecoveryPaused())
        return false;
    showFace(noMemeryView_);
    return true;
}

void KvShowScanProgressWindowController::stopProgressButtonAction() {
    showFace(warningView_);
    emit stopButtonAction(kPauseOrResume);
}

void KvShowScanProgressWindowController::noButtonAction() {
    showFace(recoveryProgressView_);
    emit stopButtonAction(kPauseOrResume);
}

void KvShowScanProgressWindowController::yesButtonAction() {
    ModalRunner::stopModal(this);
    emit stopButtonAction(kStopForGood);
}

void KvShowScanProgressWindowController::continueButtonAction() {
    showFace(recoveryProgressView_);
    // Resume only: a copy the user or the engine has let run again must not
    // be paused by an answer to a prompt that came late.
    if (KvUIFacade::current().IsRecoveryPaused())
        emit stopButtonAction(kPauseOrResume);
}

void KvShowScanProgressWindowController::cancelButtonAction() {
    ModalRunner::stopModal(this);
    emit stopButtonAction(kStopForGood);
}
