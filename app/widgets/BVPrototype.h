#pragma once

// An item of the tile collection: owns one BVView and fills it from a found
// file. Tiles stay hidden until the window has started filling them.

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>

#include "BVView.h"

class IFileNode;

class BVPrototypeDelegate {
public:
    virtual ~BVPrototypeDelegate() = default;
    // How many tiles the window has filled so far; 0 while it has not begun.
    virtual uint64_t viewLoadCnt() = 0;
    // A tile's check mark changed.
    virtual void reLoadCollectionViewData() {}
};

class BVPrototype : public QObject, public BVViewDelegate {
    Q_OBJECT

public:
    explicit BVPrototype(QObject* parent = nullptr);
    ~BVPrototype() override;

    // Makes the item's tile. Every item has a tile of its own: a widget can
    // only be shown in one place.
    void loadView();
    BVView* view() const { return view_; }

    // Shows `file` in the tile; while the window has filled no tile yet the
    // tile is hidden instead.
    void setRepresentedObject(IFileNode* file);
    void reLoadItemData() override;

    QImage image() const { return image_; }
    void setImage(const QImage& image) { image_ = image; }
    QString titleStr() const { return titleStr_; }
    void setTitleStr(const QString& title) { titleStr_ = title; }
    BVPrototypeDelegate* delegate() const { return delegate_; }
    void setDelegate(BVPrototypeDelegate* delegate) { delegate_ = delegate; }

private:
    uint64_t loadCount() const { return delegate_ ? delegate_->viewLoadCnt() : 0; }

    QPointer<BVView> view_;
    QImage image_;
    QString titleStr_;
    BVPrototypeDelegate* delegate_ = nullptr;
};
