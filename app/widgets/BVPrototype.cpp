#include "BVPrototype.h"

#include <QLabel>

#include "Images.h"
#include "KvUIFacade.h"
#include "OpNodeData.h"

BVPrototype::BVPrototype(QObject* parent) : QObject(parent) {}

BVPrototype::~BVPrototype() {
    // The tile may sit in a collection by now; it goes with its item.
    delete view_.data();
}

void BVPrototype::loadView() {
    if (!view_)
        view_ = new BVView;
    view_->setDelegate(this);
}

void BVPrototype::setRepresentedObject(IFileNode* file) {
    if (!view_)
        loadView();
    if (loadCount() == 0) {
        view_->hide();
        return;
    }
    if (!file)
        return;
    view_->setListData(file);
    const QImage thumbnail = KvUIFacade::current().GetImageByFileNode(file);
    const QPixmap picture =
        thumbnail.isNull() ? Images::named("logo") : QPixmap::fromImage(thumbnail);
    const QSize room = view_->imageView()->size();
    view_->imageView()->setPixmap(
        picture.scaled(room.boundedTo(picture.deviceIndependentSize().toSize()),
                       Qt::KeepAspectRatio, Qt::SmoothTransformation));
    const QString name = OpNodeData::fileNodeName(file);
    view_->titleLabel()->setText(name);
    view_->titleLabel()->setToolTip(name);
    view_->setButtonImage(OpNodeData::fileNodeState(file) == 2 ? "checkbox_yes" : "checkbox_no");
    view_->deleteIamgeView()->setVisible(OpNodeData::isFileNodeDeleted(file));
}

void BVPrototype::reLoadItemData() {
    if (delegate_)
        delegate_->reLoadCollectionViewData();
}
