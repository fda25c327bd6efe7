#include "TCImageButton.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "Images.h"

TCImageButton::TCImageButton(QWidget* parent) : QAbstractButton(parent) {}

void TCImageButton::setImageFromFileNormalName(const QString& normal, const QString& active,
                                               const QString& hover, const QString& disable) {
    normal_ = Images::named(normal);
    active_ = Images::named(active);
    hover_ = Images::named(hover);
    disable_ = Images::named(disable);
    target_ = QRect(QPoint(0, 0), normal_.deviceIndependentSize().toSize());
    update();
}

void TCImageButton::setTextWithName(const QString& label, const QRect& frame) {
    target_ = QRect(0, 0, frame.width() - 4, frame.height());
    delete label_;
    label_ = new QLabel(label, this);
    label_->setAlignment(Qt::AlignCenter);
    label_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The label sits two points higher than the button's own box.
    label_->setGeometry(rect().translated(0, -2));
    label_->show();
    refreshLabelColour();
}

void TCImageButton::setButtonEnabled(bool usable) {
    usable_ = usable;
    refreshLabelColour();
    repaint();
}

void TCImageButton::setButtonClicked(bool pressed) {
    pressed_ = pressed;
    repaint();
}

QPixmap TCImageButton::currentImage() const {
    if (isEnabled() && usable_) {
        if (pressed_ || isDown())
            return active_;
        return hovered_ ? hover_ : normal_;
    }
    return disable_;
}

void TCImageButton::refreshLabelColour() {
    if (!label_)
        return;
    const bool grey = !(isEnabled() && usable_);
    const QString style =
        grey ? "color: gray; background: transparent;" : "color: white; background: transparent;";
    // A new style sheet repaints the label, so it is set only when it changes.
    if (label_->styleSheet() != style)
        label_->setStyleSheet(style);
}

void TCImageButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        refreshLabelColour();
}

void TCImageButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (normal_.isNull()) {
        // Without pictures it is an ordinary button face.
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.drawText(rect(), Qt::AlignCenter, text());
        return;
    }
    const QPixmap image = currentImage();
    if (!image.isNull())
        painter.drawPixmap(target_, image);
}

void TCImageButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    if (isEnabled()) {
        hovered_ = true;
        repaint();
    }
}

void TCImageButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    hovered_ = false;
    repaint();
}

void TCImageButton::mousePressEvent(QMouseEvent* event) {
    if (!usable_) {
        event->ignore();
        return;
    }
    QAbstractButton::mousePressEvent(event);
    repaint();
}

void TCImageButton::mouseReleaseEvent(QMouseEvent* event) {
    if (!usable_) {
        event->ignore();
        return;
    }
    QAbstractButton::mouseReleaseEvent(event);
    repaint();
}

void TCImageButton::keyPressEvent(QKeyEvent* event) {
    if (!usable_) {
        event->ignore();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

QSize TCImageButton::sizeHint() const {
    return normal_.isNull() ? QSize(80, 24) : target_.size();
}
