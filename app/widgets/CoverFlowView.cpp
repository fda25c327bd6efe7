#include "CoverFlowView.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>

#include <algorithm>
#include <cmath>

#include "Fader.h"
#include "Images.h"

namespace {

constexpr double kTurn = 60;        // degrees a side picture is turned
constexpr double kNearGap = 0.9;    // the first side picture's distance, in sides
constexpr double kStackGap = 0.3;   // the distance between side pictures, in sides
constexpr double kEyeDistance = 3;  // how far the eye is, in sides
constexpr double kTitleHeight = 24;
constexpr int kMoveMs = 250;

}  // namespace

CoverFlowView::CoverFlowView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CoverFlowView::~CoverFlowView() = default;

void CoverFlowView::reloadData() {
    const uint64_t count = dataSource_ ? dataSource_->numberOfItemsInImageFlow(this) : 0;
    count_ = int64_t(std::min<uint64_t>(count, INT64_MAX));
    cache_.clear();
    if (moving_)
        moving_->stop();
    selected_ = count_ == 0 ? -1 : std::clamp<int64_t>(selected_, 0, count_ - 1);
    position_ = double(std::max<int64_t>(selected_, 0));
    update();
}

void CoverFlowView::reloadCellDataAtIndex(int64_t index) {
    cache_.remove(index);
    const QRectF cell = cellRect(index);
    if (!cell.isEmpty())
        update(cell.toAlignedRect());
}

void CoverFlowView::setSelectedIndex(int64_t index) {
    if (count_ == 0)
        return;
    selected_ = std::clamp<int64_t>(index, 0, count_ - 1);
    if (moving_)
        moving_->stop();
    if (!Fader::isEnabled() || !isVisible()) {
        setPosition(double(selected_));
        return;
    }
    auto* animation = new QPropertyAnimation(this, "position", this);
    animation->setDuration(kMoveMs);
    animation->setEndValue(double(selected_));
    animation->setEasingCurve(QEasingCurve::OutCubic);
    moving_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void CoverFlowView::setPosition(double position) {
    position_ = position;
    update();
}

void CoverFlowView::releaseCache() {
    cache_.clear();
}

// Geometry.

double CoverFlowView::side() const {
    return std::max(16.0, std::min(height() * 0.6, width() * 0.3));
}

QRectF CoverFlowView::titleRect() const {
    const double top = height() * 0.45 + side() / 2 + 4;
    return QRectF(0, top, width(), kTitleHeight);
}

QTransform CoverFlowView::cellTransform(int64_t index) const {
    const double s = side();
    const double offset = double(index) - position_;
    const double distance = std::abs(offset);
    const double direction = offset < 0 ? -1 : 1;
    double x = 0;
    double angle = 0;
    if (distance <= 1) {
        x = offset * kNearGap * s;
        angle = -offset * kTurn;
    } else {
        x = direction * (kNearGap + (distance - 1) * kStackGap) * s;
        angle = -direction * kTurn;
    }
    // QTransform looks at a turned plane from 1024 units; scaling around the
    // turn puts the eye kEyeDistance sides away instead.
    const double eye = kEyeDistance * s / 1024;
    QTransform transform;
    transform.translate(width() / 2.0 + x, height() * 0.45);
    transform.scale(eye, eye);
    transform.rotate(angle, Qt::YAxis);
    transform.scale(1 / eye, 1 / eye);
    transform.translate(-s / 2, -s / 2);
    return transform;
}

int64_t CoverFlowView::reach() const {
    const double s = side();
    const double room = width() / 2.0 - kNearGap * s;
    return 2 + int64_t(std::max(0.0, std::ceil(room / (kStackGap * s))));
}

QRectF CoverFlowView::cellRect(int64_t index) const {
    if (index < 0 || index >= count_)
        return {};
    const double middle = std::round(position_);
    if (std::abs(double(index) - middle) > double(reach()))
        return {};
    const double s = side();
    QRectF cell = cellTransform(index).mapRect(QRectF(0, 0, s, s)).adjusted(-1, -1, 1, 1);
    if (index == selected_)
        cell = cell.united(titleRect());
    return cell.intersected(rect());
}

QList<int64_t> CoverFlowView::paintOrder() const {
    QList<int64_t> order;
    if (count_ == 0)
        return order;
    const auto middle = int64_t(std::llround(position_));
    for (int64_t distance = reach(); distance >= 1; --distance) {
        if (middle - distance >= 0)
            order.append(middle - distance);
        if (middle + distance < count_)
            order.append(middle + distance);
    }
    order.append(middle);
    return order;
}

int64_t CoverFlowView::indexAt(const QPointF& point) const {
    const QList<int64_t> order = paintOrder();
    const double s = side();
    for (auto index = order.rbegin(); index != order.rend(); ++index) {
        const QPolygonF outline = cellTransform(*index).map(QPolygonF(QRectF(0, 0, s, s)));
        if (outline.containsPoint(point, Qt::OddEvenFill))
            return *index;
    }
    return -1;
}

// Drawing.

const CoverFlowView::Cached* CoverFlowView::pictureFor(int64_t index,
                                                       const std::shared_ptr<Photo>& photo) {
    const auto found = cache_.constFind(index);
    if (found != cache_.constEnd() && found->uid == photo->imageUID() &&
        found->version == photo->imageVersion())
        return &*found;
    const QImage image = photo->imageRepresentation();
    const int s = int(side());
    Cached cached{photo->imageUID(), photo->imageVersion(), {}};
    cached.picture =
        image.isNull()
            ? QPixmap()
            : QPixmap::fromImage(image.scaled(s, s, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return &*cache_.insert(index, cached);
}

void CoverFlowView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    QLinearGradient ground(0, 0, 0, height());
    ground.setColorAt(0, QColor(10, 10, 10));
    ground.setColorAt(1, QColor(60, 60, 60));
    painter.fillRect(event->rect(), ground);
    if (!dataSource_)
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = side();
    const QList<int64_t> order = paintOrder();
    for (int64_t index : order) {
        if (!cellRect(index).intersects(event->rect()))
            continue;
        const std::shared_ptr<Photo> photo =
            dataSource_->imageFlowItemAtIndex(this, uint64_t(index));
        painter.setTransform(cellTransform(index));
        const Cached* cached = photo ? pictureFor(index, photo) : nullptr;
        if (!cached || cached->picture.isNull()) {
            // No picture yet: a plain card with the waiting sign.
            painter.fillRect(QRectF(0, 0, s, s), QColor(90, 90, 90));
            const QPixmap waiting = Images::named("loading");
            painter.drawPixmap(QPointF((s - waiting.width()) / 2, (s - waiting.height()) / 2),
                               waiting);
        } else {
            // Standing on the same floor line, centred across.
            const QSizeF size = cached->picture.deviceIndependentSize();
            painter.drawPixmap(QPointF((s - size.width()) / 2, s - size.height()), cached->picture);
        }
        if (index == selected_ && photo) {
            painter.resetTransform();
            painter.setPen(Qt::white);
            painter.drawText(titleRect(), Qt::AlignCenter, photo->imageTitle());
        }
    }
    // Keep only the pictures in view.
    const int64_t middle = std::llround(position_);
    for (auto entry = cache_.begin(); entry != cache_.end();) {
        if (std::abs(entry.key() - middle) > reach())
            entry = cache_.erase(entry);
        else
            ++entry;
    }
}

// Input.

void CoverFlowView::choose(int64_t index) {
    if (index < 0 || index >= count_ || index == selected_)
        return;
    setSelectedIndex(index);
    emit didSelectItemAtIndex(index);
}

void CoverFlowView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        choose(indexAt(event->position()));
}

void CoverFlowView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Left)
        choose(selected_ - 1);
    else if (event->key() == Qt::Key_Right)
        choose(selected_ + 1);
    else
        QWidget::keyPressEvent(event);
}

void CoverFlowView::resizeEvent(QResizeEvent* event) {
    // Pictures are kept at the size they are drawn.
    cache_.clear();
    QWidget::resizeEvent(event);
}
