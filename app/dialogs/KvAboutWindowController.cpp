#include "KvAboutWindowController.h"

#include <QLabel>

#include "DialogLink.h"
#include "DialogParts.h"
#include "DialogPlacement.h"
#include "DialogTitleBar.h"
#include "Fonts.h"
#include "KvDialogFading.h"
#include "KvHandButton.h"
#include "KvLinkUrl.h"
#include "KvPublicUtilities.h"
#include "Tr.h"

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;
constexpr double kContentHeight = kHeight - TCImageWindow::kMinimumTitleBarHeight;

QLabel* CentredText(QWidget* parent, double y, double height, double points, const QString& text) {
    QLabel* label =
        DialogParts::makeText(parent, QRectF(20, y, kWidth - 40, height), kContentHeight, points);
    label->setAlignment(Qt::AlignCenter);
    label->setText(text);
    return label;
}

}  // namespace

KvAboutWindowController::KvAboutWindowController(QWidget* parent)
    : TCImageWindow(parent), fading_(new KvDialogFading(this)) {
    resize(kWidth, kHeight);
    QWidget* content = DialogParts::addContentView(this, kWidth, kContentHeight);
    DialogParts::makeImage(content, QStringLiteral("logo"), QRectF((kWidth - 96) / 2, 170, 96, 96),
                           kContentHeight);
    CentredText(content, 130, 28, 18,
                QStringLiteral("%1 %2").arg(KvPublicUtilities::getProductName(),
                                            KvPublicUtilities::getProjectVersion()));
    CentredText(content, 100, 22, 12, Tr("ABOUT_DESCRIPTION"));
    CentredText(content, 30, 20, 11, Tr("ABOUT_COPYRIGHT"));

    aboutlink_ = MakeDialogLink(content, Tr("ABOUT_LINK"), QRectF((kWidth - 220) / 2, 62, 220, 22),
                                kContentHeight);
    aboutlink_->setStyleSheet(
        aboutlink_->styleSheet().replace("text-align: left", "text-align: center"));
    connect(aboutlink_, &QAbstractButton::clicked, this,
            &KvAboutWindowController::linkButtonAction);
    windowDidLoad();
}

void KvAboutWindowController::windowDidLoad() {
    if (titleLabel_ == nullptr) {
        titleLabel_ = AddTitleLabel(this, QRectF(70, 0, 300, 22), Fonts::helveticaLight(13));
    }
    titleLabel_->setText(Tr("WINDOW_TOP_TITLE"));
    setWindowTitle(Tr("WINDOW_TOP_TITLE"));
    RetargetCloseButton(this, [this] { closeWindow(); });
}

void KvAboutWindowController::linkButtonAction() {
    KvLinkUrl::OpenLink(QStringLiteral("AboutURL"));
}

void KvAboutWindowController::closeWindow() {
    fading_->closeNow();
}

void ShowAbout(QWidget* parent) {
    KvAboutWindowController about;
    RunCentredModal(&about, parent);
}
