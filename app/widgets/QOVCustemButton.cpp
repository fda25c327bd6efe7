#include "QOVCustemButton.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "Images.h"

QOVCustemButton::QOVCustemButton(QWidget* parent)
    : QAbstractButton(parent), iconView_(new QLabel(this)) {
    setText(QStringLiteral(" "));
    iconView_->setGeometry(10, 10, 350, 50);
    iconView_->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QOVCustemButton::setIconImage(const QString& icon, const QString& hoverIcon) {
    iconImage_ = Images::named(icon);
    iconHoverImage_ = Images::named(hoverIcon);
    showIcon();
}

void QOVCustemButton::showIcon() {
    iconView_->setPixmap(selected_ ? iconHoverImage_ : iconImage_);
}

void QOVCustemButton::changeButtonStart(bool selected) {
    selected_ = selected;
    showIcon();
    update();
}

void QOVCustemButton::setButtonEnabled(bool reacts) {
    reacts_ = reacts;
    repaint();
}

void QOVCustemButton::setTitleStr(const QString& title, const QString& description) {
    auto makeField = [this](const QString& text, const QRect& frame, int points, QColor colour) {
        auto* field = new QLabel(text, this);
        field->setGeometry(frame);
        field->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        field->setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont font(QStringLiteral("Helvetica Light"));
        font.setPointSizeF(points);
        field->setFont(font);
        QPalette palette = field->palette();
        palette.setColor(QPalette::WindowText, colour);
        field->setPalette(palette);
        field->show();
        return field;
    };
    delete title_;
    delete description_;
    title_ = makeField(title, QRect(52, 10, 338, 20), 16, QColor(34, 34, 34));
    description_ = makeField(description, QRect(52, 34, 338, 30), 12, QColor(102, 102, 102));
    setHoverBgImage();
}

void QOVCustemButton::setHoverBgImage() {
    normalImage_ = QPixmap();
    dstRect_ = QRect(0, 0, 400, 72);
    srcRect_ = dstRect_;
    hoverImage_ = Images::named(QStringLiteral("hover_bg"))
                      .scaled(dstRect_.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    tracksHover_ = true;
    setAttribute(Qt::WA_Hover);
    update();
}

void QOVCustemButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QPixmap* background = &disableImage_;
    if (isEnabled() && reacts_)
        background = focus_ ? &hoverImage_ : &normalImage_;
    if (!background->isNull())
        painter.drawPixmap(dstRect_, *background, srcRect_);
}

void QOVCustemButton::mousePressEvent(QMouseEvent* event) {
    if (!reacts_) {
        event->ignore();
        return;
    }
    pressed_ = true;
    selected_ = !selected_;
    showIcon();
    QAbstractButton::mousePressEvent(event);
    repaint();
}

void QOVCustemButton::mouseReleaseEvent(QMouseEvent* event) {
    // A press the tile ignored sends no action either.
    if (!pressed_) {
        event->ignore();
        return;
    }
    pressed_ = false;
    QAbstractButton::mouseReleaseEvent(event);
}

void QOVCustemButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    if (tracksHover_ && isEnabled()) {
        focus_ = true;
        repaint();
    }
}

void QOVCustemButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    if (tracksHover_) {
        focus_ = false;
        repaint();
    }
}
