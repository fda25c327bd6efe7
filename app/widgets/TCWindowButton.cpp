#include "TCWindowButton.h"

#include <QEnterEvent>
#include <QPainter>

#include <map>
#include <memory>

#include "KvNotificationCenter.h"

TCWindowButtonGroup* TCWindowButtonGroup::groupWithIdentifier(const QString& identifier) {
    static std::map<QString, std::unique_ptr<TCWindowButtonGroup>> registry;
    const QString key = identifier.isEmpty() ? QString::fromLatin1(kDefaultIdentifier) : identifier;
    std::unique_ptr<TCWindowButtonGroup>& group = registry[key];
    if (!group)
        group.reset(new TCWindowButtonGroup(key));
    return group.get();
}

void TCWindowButtonGroup::setNumberOfCaptures(int64_t count) {
    if (count == captures_ || count < 0)
        return;
    captures_ = count;
    KvNotificationCenter::defaultCenter()->post(
        QString::fromLatin1(kDidUpdateRolloverStateNotification), QVariant::fromValue(this));
}

TCWindowButton::TCWindowButton(const QSize& size, const QString& groupIdentifier, QWidget* parent)
    : QAbstractButton(parent), groupIdentifier_(groupIdentifier), fixedSize_(size) {
    setFixedSize(size);
    setFocusPolicy(Qt::NoFocus);
    KvNotificationCenter::defaultCenter()->observe(
        QString::fromLatin1(TCWindowButtonGroup::kDidUpdateRolloverStateNotification), this,
        [this](const QVariant& object) {
            if (object.value<TCWindowButtonGroup*>() == group())
                updateRollOverImage();
        });
}

TCWindowButtonGroup* TCWindowButton::group() const {
    return TCWindowButtonGroup::groupWithIdentifier(groupIdentifier_);
}

void TCWindowButton::setActiveImage(const QPixmap& image) {
    active_ = image;
    updateRollOverImage();
}

void TCWindowButton::setActiveNotKeyWindowImage(const QPixmap& image) {
    activeNotKey_ = image;
    updateRollOverImage();
}

void TCWindowButton::setInactiveImage(const QPixmap& image) {
    inactive_ = image;
    updateRollOverImage();
}

void TCWindowButton::setRolloverImage(const QPixmap& image) {
    rollover_ = image;
    updateRollOverImage();
}

void TCWindowButton::setPressedImage(const QPixmap& image) {
    pressed_ = image;
    update();
}

void TCWindowButton::showImage(const QPixmap& image) {
    shown_ = image;
    update();
}

void TCWindowButton::updateImage() {
    if (isEnabled())
        updateActiveImage();
    else
        showImage(inactive_);
}

void TCWindowButton::updateActiveImage() {
    showImage(isActiveWindow() ? active_ : activeNotKey_);
}

void TCWindowButton::updateRollOverImage() {
    if (group()->shouldDisplayRollOver() && isEnabled())
        showImage(rollover_);
    else
        updateImage();
}

void TCWindowButton::trackingRebuilt() {
    group()->resetMouseCaptures();
}

void TCWindowButton::windowWillEnterFullScreen() {
    group()->resetMouseCaptures();
    hide();
}

void TCWindowButton::windowWillExitFullScreen() {
    group()->resetMouseCaptures();
    show();
}

void TCWindowButton::paintEvent(QPaintEvent*) {
    const QPixmap& image = isDown() && !pressed_.isNull() ? pressed_ : shown_;
    if (image.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(QRect(QPoint(0, 0), image.deviceIndependentSize().toSize()), image);
}

void TCWindowButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    group()->didCaptureMousePointer();
    updateRollOverImage();
}

void TCWindowButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    group()->didReleaseMousePointer();
    updateRollOverImage();
}

void TCWindowButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        showImage(isEnabled() ? active_ : inactive_);
    else if (event->type() == QEvent::ActivationChange)
        updateImage();
}

void TCWindowButton::showEvent(QShowEvent* event) {
    QAbstractButton::showEvent(event);
    updateImage();
}
