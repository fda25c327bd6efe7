#include "APFSScanWindowController.h"

#include <QLabel>

#include "DialogLink.h"
#include "DialogParts.h"
#include "DialogPlacement.h"
#include "DialogTitleBar.h"
#include "Fonts.h"
#include "KvDialogFading.h"
#include "KvHandButton.h"
#include "KvLinkUrl.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

constexpr int kWidth = 460;
constexpr int kHeight = 220;
constexpr double kContentHeight = kHeight - APFSScanWindowController::kTitleBarHeight;

}  // namespace

APFSScanWindowController::APFSScanWindowController(QWidget* parent)
    : TCImageWindow(parent), fading_(new KvDialogFading(this)) {
    resize(kWidth, kHeight);
    QWidget* content = DialogParts::addContentView(this, kWidth, kContentHeight);
    DialogParts::makeImage(content, QStringLiteral("warning"), QRectF(25, 118, 48, 48),
                           kContentHeight);

    textField_ = DialogParts::makeText(content, QRectF(90, 140, 345, 26), kContentHeight, 15);
    textField_->setText(Tr("VOLUME_NOTICE_TITLE"));
    textField1_ = DialogParts::makeText(content, QRectF(90, 82, 345, 54), kContentHeight, 12, true);
    textField1_->setText(Tr("VOLUME_NOTICE_TEXT"));
    actualizarLabel_ = DialogParts::makeText(content, QRectF(90, 58, 110, 20), kContentHeight, 12);
    actualizarLabel_->setText(Tr("VOLUME_NOTICE_HELP_LABEL"));
    actualizarButton_ = MakeDialogLink(content, Tr("VOLUME_NOTICE_HELP_LINK"),
                                       QRectF(200, 58, 235, 20), kContentHeight);
    connect(actualizarButton_, &QAbstractButton::clicked, this,
            &APFSScanWindowController::linkButtonAction);

    actuButton_ =
        DialogParts::makeButton(content, Tr("UPDATE_OK"), QRectF(335, 15, 100, 32), kContentHeight);
    connect(actuButton_, &QAbstractButton::clicked, this,
            &APFSScanWindowController::okButtonAction);
    awakeFromNib();
    windowDidLoad();
}

void APFSScanWindowController::awakeFromNib() {
    iClickCount_ = 0;
}

void APFSScanWindowController::windowDidLoad() {
    setTitleBarHeight(kTitleBarHeight);
    setTrafficLightButtonsLeftMargin(kTrafficLightLeftMargin);
    if (aTitleLabel_ == nullptr) {
        aTitleLabel_ = AddTitleLabel(this, QRectF(80, 2, 300, 18), Fonts::helveticaLight(14));
        aTitleLabel_->setText(Tr("WINDOW_TOP_TITLE"));
    }
    setWindowTitle(Tr("WINDOW_TOP_TITLE"));
    RetargetCloseButton(this, [this] { closeWindow(); });
}

void APFSScanWindowController::linkButtonAction() {
    KvLinkUrl::OpenLink(QStringLiteral("APFS_HELP_URL"));
}

void APFSScanWindowController::okButtonAction() {
    closeWindow();
}

void APFSScanWindowController::closeWindow() {
    fading_->closeNow();
}

void ShowVolumeNotice(QWidget* parent) {
    APFSScanWindowController notice;
    RunCentredModal(&notice, parent);
}
