#include "KvScanEndSaveWindowController.h"

#include <QLabel>

#include "DialogParts.h"
#include "KvDialogFading.h"
#include "KvFolderLink.h"
#include "RecoveryEndLayout.h"
#include "TCImageButton.h"
#include "Tr.h"

KvScanEndSaveWindowController::KvScanEndSaveWindowController(QWidget* parent)
    : TCImageWindow(parent),
      fading_(new KvDialogFading(this)),
      aTitleLabel_(DialogParts::setUpTitleBar(this, 80)) {
    const RecoveryEndLayout layout = RecoveryEndLayout::setUp(this, 50);
    savePathLabel_ = layout.folderLink;
    okButton_ = layout.okButton;
    recoveryEndTitle_ =
        DialogParts::makeText(layout.content, {30, 105, 400, 26}, RecoveryEndLayout::kHeight, 16);
    recoveryEndTitle_->setText(Tr("QOV_FOUR_RECOVER_END_TITLE"));
    recoveryEndNode_ = DialogParts::makeText(layout.content, {30, 75, 400, 24},
                                             RecoveryEndLayout::kHeight, 13, true);
    recoveryEndNode_->setText(Tr("QOV_FOUR_RECOVER_END_NODE"));
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

void KvScanEndSaveWindowController::setPartlyRecovered(uint64_t partly) {
    recoveryEndNode_->setText(partly == 0
                                  ? Tr("QOV_FOUR_RECOVER_END_NODE")
                                  : Tr("QOV_FOUR_RECOVER_END_PART_NODE", QString::number(partly)));
}

void KvScanEndSaveWindowController::jumpToSavePath() {
    savePathLabel_->open();
}

void KvScanEndSaveWindowController::okButtonAction() {
    fading_->closeNow();
}
