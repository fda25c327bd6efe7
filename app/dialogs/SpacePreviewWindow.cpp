#include "SpacePreviewWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>

#include "DialogPlacement.h"
#include "DialogTitleBar.h"
#include "Fonts.h"

namespace {

constexpr int kWidth = 520;
constexpr int kHeight = 440;
// Space between the picture and the window's edges.
constexpr int kPictureMargin = 10;

}  // namespace

SpacePreviewWindow::SpacePreviewWindow(QWidget* parent)
    : TCImageWindow(parent), imageView_(new QLabel) {
    resize(kWidth, kHeight);
    imageView_->setAlignment(Qt::AlignCenter);
    imageView_->setContentsMargins(kPictureMargin, kPictureMargin, kPictureMargin, kPictureMargin);
    setContentView(imageView_);
    windowDidLoad();
}

void SpacePreviewWindow::windowDidLoad() {
    setTitleBarHeight(kTitleBarHeight);
    setTrafficLightButtonsLeftMargin(kTrafficLightLeftMargin);
    if (titleLabel_ == nullptr) {
        titleLabel_ = AddTitleLabel(this, QRectF(70, 2, 410, 16), Fonts::helveticaLight(12));
    }
    titleLabel_->setText(strName_);
    setWindowTitle(strName_);
    showPicture();
    bClose_ = false;
    // The close button ends this window only: it runs no modal session.
    RetargetCloseButton(this, [this] { closeWindow(); });
}

void SpacePreviewWindow::closeWindow() {
    bClose_ = true;
    close();
}

void SpacePreviewWindow::center() {
    CenterOnScreen(this);
}

void SpacePreviewWindow::setStrName(const QString& name) {
    strName_ = name;
    if (titleLabel_)
        titleLabel_->setText(name);
    setWindowTitle(name);
}

void SpacePreviewWindow::setShowImage(const QImage& image) {
    showImage_ = image;
    showPicture();
}

void SpacePreviewWindow::closeEvent(QCloseEvent* event) {
    bClose_ = true;
    TCImageWindow::closeEvent(event);
}

void SpacePreviewWindow::showPicture() {
    // Larger pictures shrink to fit, keeping their proportions; smaller ones keep their size.
    const QSize room = contentView()->contentsRect().size();
    QPixmap picture = QPixmap::fromImage(showImage_);
    if (!picture.isNull() && (picture.width() > room.width() || picture.height() > room.height()))
        picture = picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    imageView_->setPixmap(picture);
}
