#include "CNGridViewItem.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include <algorithm>

#include "CNGridViewPalette.h"
#include "Images.h"
#include "KvUIFacade.h"

namespace {

constexpr double kPanelInset = 5;
constexpr double kPanelRadius = 10;
constexpr double kMaxThumbnailSide = 90;

}  // namespace

CNGridViewItem::CNGridViewItem(QWidget* parent) : CNGridViewItemBase(parent) {
    initProperties();
}

CNGridViewItem::CNGridViewItem(const CNGridViewItemLayout*, const QString& reuseIdentifier,
                               QWidget* parent)
    : CNGridViewItem(parent) {
    setReuseIdentifier(reuseIdentifier);
}

void CNGridViewItem::initProperties() {
    itemButton_ = new QPushButton(this);
    itemButton_->setGeometry(16, 121, 13, 13);
    itemButton_->setFlat(true);
    itemButton_->setIconSize(QSize(13, 13));
    itemButton_->setFocusPolicy(Qt::NoFocus);
    connect(itemButton_, &QPushButton::clicked, this, &CNGridViewItem::setItemSelectBoxClickAction);

    titleLabel_ = new QLabel(this);
    titleLabel_->setGeometry(30, 120, 120, 25);
    QFont font = titleLabel_->font();
    font.setPointSizeF(11);
    titleLabel_->setFont(font);
    titleLabel_->setAutoFillBackground(true);
    titleLabel_->setTextInteractionFlags(Qt::NoTextInteraction);
}

void CNGridViewItem::setItemImage(const QImage& image) {
    itemImage_ = image;
    update();
}

void CNGridViewItem::setItemTitle(const QString& title) {
    itemTitle_ = title;
    titleLabel_->setText(
        titleLabel_->fontMetrics().elidedText(title, Qt::ElideRight, titleLabel_->width()));
}

void CNGridViewItem::setItemButtonImage(const QString& name) {
    itemButtonImage_ = name;
    itemButton_->setIcon(QIcon(Images::named(name)));
}

void CNGridViewItem::prepareForReuse() {
    CNGridViewItemBase::prepareForReuse();
    setItemImage(QImage());
    setItemTitle(QString());
}

void CNGridViewItem::setHovered(bool hovered) {
    CNGridViewItemBase::setHovered(hovered);
    update();
}

void CNGridViewItem::setItemSelectBoxClickAction() {
    KvUIFacade& facade = KvUIFacade::current();
    if (facade.IsScanRunning() && !facade.IsPause())
        return;
    const int32_t state = node_ ? node_->state() : 0;
    setItemButtonImage(state > 0 ? "checkbox_no" : "checkbox_yes");
    if (delegate_)
        delegate_->doSelectItem(index());
}

void CNGridViewItem::updateImageViewWithImage(QPointer<CNGridViewItem> item, const QImage& image,
                                              const OpNodeRef& node) {
    // The item belongs to the main thread: it is looked at only there, and
    // may have gone or moved to another file by then.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [item, image, node] {
            if (item && item->node() && item->node() == node)
                item->refImageWithImage(image);
        },
        Qt::QueuedConnection);
}

void CNGridViewItem::refImageWithImage(const QImage& image) {
    const QSizeF size = image.deviceIndependentSize();
    if (size.width() > 0 && size.height() > 0)
        setItemImage(image);
}

QRectF CNGridViewItem::panelRect(const QRectF& bounds) {
    return QRectF(bounds.x() + kPanelInset, bounds.y() + kPanelInset, bounds.width() - kPanelInset,
                  bounds.height() - kPanelInset);
}

QRectF CNGridViewItem::thumbnailRect(const QRectF& bounds, const QSizeF& imageSize) {
    const QRectF panel = panelRect(bounds);
    // Each side is capped on its own, as the cells have always drawn them.
    const double width = std::min(imageSize.width(), kMaxThumbnailSide);
    const double height = std::min(imageSize.height(), kMaxThumbnailSide);
    return QRectF((panel.width() - width) / 2 + kPanelInset,
                  (panel.height() - height) / 2 - kPanelInset, width, height);
}

void CNGridViewItem::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QPainterPath panel;
    panel.addRoundedRect(panelRect(bounds), kPanelRadius, kPanelRadius);
    painter.fillPath(panel, isHovered() ? CNGridViewPalette::itemBackgroundHoverColor()
                                        : CNGridViewPalette::itemBackgroundColor());
    if (isSelected()) {
        QPen ring(painter.pen().color(), 0);
        if (currentLayout_)
            ring = QPen(currentLayout_->selectionRingColor, currentLayout_->selectionRingLineWidth);
        painter.strokePath(panel, ring);
    }
    if (!itemImage_.isNull())
        painter.drawImage(thumbnailRect(bounds, itemImage_.deviceIndependentSize()), itemImage_);
}
