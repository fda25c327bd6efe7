#include "KvScanEndSaveWindowController.h"

#include <QLabel>

#include "DialogParts.h"
#include "Geometry.h"
#include "KvDialogFading.h"
#include "KvFolderLink.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

constexpr double kWidth = 460;
constexpr double kHeight = 150;

}  // namespace

KvScanEndSaveWindowController::KvScanEndSaveWindowController(QWidget* parent)
    : TCImageWindow(parent),
      fading_(new KvDialogFading(this)),
      aTitleLabel_(DialogParts::setUpTitleBar(this, 80)) {
    QWidget* content = DialogParts::setUpContent(this, kWidth, kHeight);
    recoveryEndTitle_ = DialogParts::makeText(content, {30, 105, 400, 26}, kHeight, 16);
    recoveryEndTitle_->setText(Tr("QOV_FOUR_RECOVER_END_TITLE"));
    recoveryEndNode_ = DialogParts::makeText(content, {30, 75, 400, 24}, kHeight, 13, true);
    recoveryEndNode_->setText(Tr("QOV_FOUR_RECOVER_END_NODE"));
    savePathLabel_ = new KvFolderLink(content);
    savePathLabel_->setGeometry(FromBottomLeft({30, 50, 400, 20}, kHeight));
    okButton_ = DialogParts::makeButton(content, Tr("QOV_FOUR_RECOVERY_STOP_BUTTON"),
                                        {330, 12, 100, 30}, kHeight);
    connect(savePathLabel_, &KvFolderLink::clicked, this,
            &KvScanEndSaveWindowController::jumpToSavePath);
    connect(okButton_, &QAbstractButton::clicked, this,
            &KvScanEndSaveWindowController::okButtonAction);
}

KvScanEndSaveWindowController::~KvScanEndSaveWindowController() = default;

void KvScanEndSaveWindowController::setSavePathStr(const QString& path) {
    savePathStr_ = path;
    savePathLabel_->setPath(path);
}

void KvScanEndSaveWindowController::jumpToSavePath() {
    savePathLabel_->open();
}

void KvScanEndSaveWindowController::okButtonAction() {
    fading_->closeNow();
}
