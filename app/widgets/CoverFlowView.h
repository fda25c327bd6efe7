#pragma once

// A cover flow: the pictures of a data source side by side, the chosen one
// facing the viewer in the middle with its title under it, the others turned
// towards it in perspective. Only the pictures in view are asked for and
// kept, scaled, while they stay in view.

#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QTransform>
#include <QWidget>

#include <cstdint>
#include <memory>

#include "Photo.h"

class CoverFlowView;
class QPropertyAnimation;

class CoverFlowDataSource {
public:
    virtual ~CoverFlowDataSource() = default;
    virtual uint64_t numberOfItemsInImageFlow(CoverFlowView* view) = 0;
    // Null for an index the source has no picture for.
    virtual std::shared_ptr<Photo> imageFlowItemAtIndex(CoverFlowView* view, uint64_t index) = 0;
};

class CoverFlowView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double position READ position WRITE setPosition)

public:
    explicit CoverFlowView(QWidget* parent = nullptr);
    ~CoverFlowView() override;

    // Not owned.
    void setDataSource(CoverFlowDataSource* dataSource) { dataSource_ = dataSource; }
    CoverFlowDataSource* dataSource() const { return dataSource_; }

    // Asks for the count again and draws every picture afresh.
    void reloadData();
    // Draws one picture afresh; nothing else is repainted.
    void reloadCellDataAtIndex(int64_t index);
    int64_t numberOfItems() const { return count_; }
    // The centred picture; -1 while there is none.
    int64_t selectedIndex() const { return selected_; }
    // Centres `index` (kept within the items) without announcing it.
    void setSelectedIndex(int64_t index);
    // Forgets the scaled pictures kept for drawing.
    void releaseCache();
    int cachedPictures() const { return int(cache_.size()); }

    // Where the picture of `index` is drawn now (its title included for the
    // centred one); empty when it is out of view.
    QRectF cellRect(int64_t index) const;
    // The picture drawn topmost at `point`, or -1.
    int64_t indexAt(const QPointF& point) const;

    // The index in the middle of the view, between two while moving.
    double position() const { return position_; }
    void setPosition(double position);

signals:
    // The user chose the picture at `index`.
    void didSelectItemAtIndex(int64_t index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Cached {
        QString uid;
        int64_t version = 0;
        QPixmap picture;
    };

    double side() const;
    // Maps the square (0, 0, side, side) onto the view where `index` stands.
    QTransform cellTransform(int64_t index) const;
    QRectF titleRect() const;
    // How many pictures stand in view on each side of the middle.
    int64_t reach() const;
    // Visible indexes, farthest first, so nearer pictures cover farther ones.
    QList<int64_t> paintOrder() const;
    const Cached* pictureFor(int64_t index, const std::shared_ptr<Photo>& photo);
    void choose(int64_t index);

    CoverFlowDataSource* dataSource_ = nullptr;
    int64_t count_ = 0;
    int64_t selected_ = -1;
    double position_ = 0;
    QHash<int64_t, Cached> cache_;
    QPointer<QPropertyAnimation> moving_;
};
