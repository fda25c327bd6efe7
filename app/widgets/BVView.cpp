#include "BVView.h"

#include <QLabel>
#include <QPushButton>

#include "Geometry.h"
#include "Images.h"
#include "KvUIFacade.h"
#include "OpNodeData.h"

namespace {

// The tile's parts, laid out from its bottom left.
QRect Place(double x, double y, double width, double height) {
    return FromBottomLeft(QRectF(x, y, width, height), BVView::itemSize().height());
}

}  // namespace

BVView::BVView(QWidget* parent) : QWidget(parent) {
    resize(itemSize());

    bgImageView_ = new QLabel(this);
    bgImageView_->setGeometry(Place(3, 3, 114, 94));
    bgImageView_->setScaledContents(true);
    setBackgroundImage("view_bg_normal");

    imageView_ = new QLabel(this);
    imageView_->setGeometry(Place(10, 35, 90, 55));
    imageView_->setAlignment(Qt::AlignCenter);

    titleLabel_ = new QLabel(this);
    titleLabel_->setGeometry(Place(30, 2, 80, 20));
    QFont font = titleLabel_->font();
    font.setPointSizeF(10);
    titleLabel_->setFont(font);
    titleLabel_->setAutoFillBackground(true);

    button_ = new QPushButton(this);
    button_->setGeometry(Place(16, 10, 14, 14));
    button_->setFlat(true);
    button_->setIconSize(QSize(14, 14));
    button_->setFocusPolicy(Qt::NoFocus);
    connect(button_, &QPushButton::clicked, this, &BVView::changeButtonState);

    deleteIamgeView_ = new QLabel(this);
    deleteIamgeView_->setGeometry(Place(90, 35, 16, 16));
    deleteIamgeView_->setAlignment(Qt::AlignTop);
    deleteIamgeView_->setPixmap(Images::named("deletered"));
    deleteIamgeView_->hide();
}

void BVView::setButtonImage(const QString& name) {
    buttonImage_ = name;
    button_->setIcon(QIcon(Images::named(name)));
}

void BVView::setBackgroundImage(const QString& name) {
    backgroundImage_ = name;
    bgImageView_->setPixmap(Images::named(name));
}

void BVView::changeButtonState() {
    if (KvUIFacade::current().IsScanRunning())
        return;
    const int32_t state = OpNodeData::fileNodeState(listData_) < 1 ? 2 : 0;
    OpNodeData::setFileNode(listData_, state);
    setButtonImage(state == 2 ? "checkbox_yes" : "checkbox_no");
    if (delegate_)
        delegate_->reLoadItemData();
}

void BVView::enterEvent(QEnterEvent* event) {
    setBackgroundImage("view_bg_press");
    QWidget::enterEvent(event);
}

void BVView::leaveEvent(QEvent* event) {
    setBackgroundImage("view_bg_normal");
    QWidget::leaveEvent(event);
}
