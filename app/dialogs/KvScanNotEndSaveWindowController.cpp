#include "KvScanNotEndSaveWindowController.h"

#include <QLabel>

#include "DialogParts.h"
#include "KvDialogFading.h"
#include "KvFolderLink.h"
#include "RecoveryEndLayout.h"
#include "TCImageButton.h"
#include "Tr.h"

KvScanNotEndSaveWindowController::KvScanNotEndSaveWindowController(QWidget* parent)
    : TCImageWindow(parent),
      fading_(new KvDialogFading(this)),
      aTitleLabel_(DialogParts::setUpTitleBar(this, 80)) {
    const RecoveryEndLayout layout = RecoveryEndLayout::setUp(this, 62);
    savePathLabel_ = layout.folderLink;
    okButton_ = layout.okButton;
    showRecoveryNoteLabel_ = DialogParts::makeText(layout.content, {30, 80, 400, 45},
                                                   RecoveryEndLayout::kHeight, 14, true);
    connect(savePathLabel_, &KvFolderLink::clicked, this,
            &KvScanNotEndSaveWindowController::jumpToSavePath);
    connect(okButton_, &QAbstractButton::clicked, this,
            &KvScanNotEndSaveWindowController::okButtonAction);
}

KvScanNotEndSaveWindowController::~KvScanNotEndSaveWindowController() = default;

void KvScanNotEndSaveWindowController::changeRecoveryFilesPoint(double count,
                                                                const QString& savePath,
                                                                double partly) {
    savePathLabel_->setPath(savePath);
    const QString copied = QString::number(count, 'f', 0);
    showRecoveryNoteLabel_->setText(partly > 0 ? Tr("QOV_FOUR_RECOVER_NOTEND_PART_NODE", copied,
                                                    QString::number(partly, 'f', 0))
                                               : Tr("QOV_FOUR_RECOVER_NOTEND_NODE", copied));
    showRecoveryNoteLabel_->update();
    savePtahStr_ = savePath;
}

void KvScanNotEndSaveWindowController::jumpToSavePath() {
    if (!savePtahStr_.isEmpty())
        savePathLabel_->open();
}

void KvScanNotEndSaveWindowController::okButtonAction() {
    fading_->closeNow();
}
