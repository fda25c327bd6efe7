#include "CNGridViewItemBase.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>

#include "CNGridView.h"
#include "Fader.h"
#include "KvNotificationCenter.h"

CNGridViewItemBase::CNGridViewItemBase(QWidget* parent) : QWidget(parent), index_(CNNotFound) {
    setFrame(QRect(QPoint(0, 0), defaultItemSize()));
    KvNotificationCenter* centre = KvNotificationCenter::defaultCenter();
    // A select-all or deselect-all of one grid leaves the items of other grids alone.
    const auto fromMyGrid = [this](const QVariant& object) {
        const QObject* poster = object.value<CNGridViewNotification>().grid.data();
        return poster && poster == grid_.data();
    };
    centre->observe(cnnote::kSelectAllItems, this, [this, fromMyGrid](const QVariant& object) {
        if (fromMyGrid(object))
            selectAll();
    });
    centre->observe(cnnote::kDeSelectAllItems, this, [this, fromMyGrid](const QVariant& object) {
        if (fromMyGrid(object))
            deSelectAll();
    });
}

CNGridViewItemBase::~CNGridViewItemBase() = default;

void CNGridViewItemBase::setSelected(bool selected) {
    if (selected_ == selected)
        return;
    selected_ = selected;
    update();
}

void CNGridViewItemBase::setHovered(bool hovered) {
    hovered_ = hovered;
}

void CNGridViewItemBase::prepareForReuse() {
    index_ = CNNotFound;
    selectable_ = true;
    setSelected(false);
    setHovered(false);
}

void CNGridViewItemBase::setFrame(const QRect& frame) {
    frame_ = frame;
    setGeometry(frame.translated(-contentOffset_));
}

void CNGridViewItemBase::setContentOffset(const QPoint& offset) {
    contentOffset_ = offset;
    setGeometry(frame_.translated(-offset));
}

void CNGridViewItemBase::setAlphaValue(double alpha) {
    alpha_ = alpha;
    // An opacity effect costs a render pass per paint, so only a fading item has one.
    if (alpha >= 1.0) {
        if (opacity_) {
            setGraphicsEffect(nullptr);
            opacity_ = nullptr;
        }
        return;
    }
    if (!opacity_) {
        opacity_ = new QGraphicsOpacityEffect(this);
        setGraphicsEffect(opacity_);
    }
    opacity_->setOpacity(alpha);
}

void CNGridViewItemBase::animateFrame(const QRect& frame, int milliseconds) {
    animate(frameAnimation_, "frame", frame, milliseconds);
}

void CNGridViewItemBase::animateAlpha(double alpha, int milliseconds) {
    animate(alphaAnimation_, "alphaValue", alpha, milliseconds);
}

void CNGridViewItemBase::animate(QPointer<QPropertyAnimation>& running, const QByteArray& property,
                                 const QVariant& to, int milliseconds) {
    if (running)
        running->stop();
    if (milliseconds <= 0 || !Fader::isEnabled()) {
        setProperty(property.constData(), to);
        return;
    }
    auto* animation = new QPropertyAnimation(this, property, this);
    animation->setDuration(milliseconds);
    animation->setEndValue(to);
    running = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
