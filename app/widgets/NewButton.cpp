#include "NewButton.h"

#include <QMouseEvent>
#include <QPainter>

#include "Images.h"

namespace {

constexpr int kIconSize = 18;
constexpr int kLabelHeight = 22;
constexpr int kLabelWidth = 800;
constexpr int kCheckWidth = 15;
constexpr int kCheckHeight = 30;
constexpr int kRowHeight = 24;

int CeilHalf(int space) {
    return space >= 0 ? (space + 1) / 2 : -((-space) / 2);
}

}  // namespace

NewButton::NewButton(QObject* parent) : QStyledItemDelegate(parent) {}

QRect NewButton::iconImageRectForBounds(const QRect& cell, bool hasIcon) {
    if (!hasIcon)
        return {};
    return {cell.x() + 17, cell.y() + CeilHalf(cell.height() - kIconSize), kIconSize, kIconSize};
}

QRect NewButton::imageRectForBounds(const QRect& cell, bool hasIcon, bool hasLabel) {
    if (!hasLabel)
        return {};
    return {cell.x() + (hasIcon ? 35 : 10), cell.y() + CeilHalf(cell.height() - kLabelHeight),
            kLabelWidth, kLabelHeight};
}

QRect NewButton::checkBoxArea(const QRect& cell) {
    return {cell.x(), cell.y(), kCheckWidth, kCheckHeight};
}

QString NewButton::checkImageName(int state) {
    switch (state) {
        case 0:
            return QStringLiteral("pf_checkbox_no");
        case 2:
            return QStringLiteral("pf_checkbox_yes");
        default:
            return QStringLiteral("pf_checkbox_half");
    }
}

bool NewButton::hitTestForEvent(const QPoint& pos, const QRect& cell, const QModelIndex& index) {
    if (!checkBoxArea(cell).contains(pos))
        return false;
    if (lastReport_.isValid() && lastReport_.elapsed() < kGuardMs)
        return false;
    lastReport_.start();
    emit clickButtonAction(index);
    return true;
}

void NewButton::changeVlaue() {
    lastReport_.invalidate();
}

void NewButton::paint(QPainter* painter, const QStyleOptionViewItem& option,
                      const QModelIndex& index) const {
    const QRect cell = option.rect;
    if (option.state & QStyle::State_Selected)
        painter->fillRect(cell, option.palette.highlight());

    const QVariant decoration = index.data(Qt::DecorationRole);
    QIcon icon;
    if (decoration.canConvert<QIcon>())
        icon = decoration.value<QIcon>();
    if (icon.isNull() && decoration.canConvert<QPixmap>())
        icon = QIcon(decoration.value<QPixmap>());
    const QString label = index.data(Qt::DisplayRole).toString();
    const bool hasIcon = !icon.isNull();
    if (hasIcon) {
        const QRect iconRect = iconImageRectForBounds(cell, true);
        // On the highlight a blue or grey icon would vanish: it keeps a
        // white ground of its own.
        if (option.state & QStyle::State_Selected) {
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(Qt::white);
            painter->drawRoundedRect(iconRect.adjusted(-1, -1, 1, 1), 3, 3);
            painter->restore();
        }
        icon.paint(painter, iconRect);
    }
    if (!label.isNull()) {
        const QRect labelRect = imageRectForBounds(cell, hasIcon, true).intersected(cell);
        const QVariant colour = index.data(Qt::ForegroundRole);
        painter->setPen(colour.isValid() ? colour.value<QColor>()
                        : (option.state & QStyle::State_Selected)
                            ? option.palette.highlightedText().color()
                            : option.palette.text().color());
        painter->setFont(option.font);
        const QString shown =
            option.fontMetrics.elidedText(label, Qt::ElideRight, labelRect.width());
        painter->drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter, shown);
    }

    const QVariant state = index.data(Qt::CheckStateRole);
    if (state.isValid()) {
        const QPixmap check = Images::named(checkImageName(state.toInt()));
        const QSize size = check.deviceIndependentSize().toSize();
        const QRect area = checkBoxArea(cell);
        const QRect box(area.x(), cell.y() + CeilHalf(cell.height() - size.height()), size.width(),
                        size.height());
        painter->drawPixmap(box, check);
    }
}

QSize NewButton::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QString label = index.data(Qt::DisplayRole).toString();
    const bool hasIcon = !index.data(Qt::DecorationRole).isNull();
    const int textStart = hasIcon ? 35 : 10;
    return {textStart + option.fontMetrics.horizontalAdvance(label) + 8, kRowHeight};
}

bool NewButton::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                            const QModelIndex& index) {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    return hitTestForEvent(mouse->position().toPoint(), option.rect, index);
}
