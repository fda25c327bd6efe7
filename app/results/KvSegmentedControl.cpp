#include "KvSegmentedControl.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QToolButton>

KvSegmentedControl::KvSegmentedControl(const QStringList& labels, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
    group_->setExclusive(true);
    for (int segment = 0; segment < labels.size(); ++segment) {
        auto* button = new QToolButton(this);
        button->setText(labels[segment]);
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        group_->addButton(button, segment);
    }
    connect(group_, &QButtonGroup::idClicked, this, &KvSegmentedControl::activated);
}

int KvSegmentedControl::segmentCount() const {
    return static_cast<int>(group_->buttons().size());
}

int KvSegmentedControl::selectedSegment() const {
    return group_->checkedId();
}

void KvSegmentedControl::setSelectedSegment(int segment) {
    if (QAbstractButton* button = group_->button(segment))
        button->setChecked(true);
}

void KvSegmentedControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QList<QAbstractButton*> buttons = group_->buttons();
    if (buttons.isEmpty())
        return;
    const int width = this->width() / static_cast<int>(buttons.size());
    for (int segment = 0; segment < buttons.size(); ++segment) {
        const bool last = segment + 1 == buttons.size();
        group_->button(segment)->setGeometry(
            segment * width, 0, last ? this->width() - segment * width : width, height());
    }
}
