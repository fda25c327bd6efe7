#include "KvScanNotEndSaveWindowController.h"

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

KvScanNotEndSaveWindowController::KvScanNotEndSaveWindowController(QWidget* parent)
    : TCImageWindow(parent),
      fading_(new KvDialogFading(this)),
      aTitleLabel_(DialogParts::setUpTitleBar(this, 80)) {
    QWidget* content = DialogParts::setUpContent(this, kWidth, kHeight);
    showRecoveryNoteLabel_ = DialogParts::makeText(content, {30, 80, 400, 45}, kHeight, 14, true);
    savePathLabel_ = new KvFolderLink(content);
    savePathLabel_->setGeometry(FromBottomLeft({30, 62, 400, 20}, kHeight));
    okButton_ = DialogParts::makeButton(content, Tr("QOV_FOUR_RECOVERY_STOP_BUTTON"),
                                        {330, 12, 100, 30}, kHeight);
    connect(savePathLabel_, &KvFolderLink::clicked, this,
            &KvScanNotEndSaveWindowController::jumpToSavePath);
    connect(okButton_, &QAbstractButton::clicked, this,
            &KvScanNotEndSaveWindowController::okButtonAction);
}

KvScanNotEndSaveWindowController::~KvScanNotEndSaveWindowController() = default;

void KvScanNotEndSaveWindowController::changeRecoveryFilesPoint(double count,
                                                                const QString& savePath) {
    savePathLabel_->setPath(savePath);
    showRecoveryNoteLabel_->setText(
        Tr("QOV_FOUR_RECOVER_NOTEND_NODE", QString::number(count, 'f', 0)));
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
