#include "MAAttachedWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QShortcut>

#include <algorithm>

#include "Geometry.h"

namespace {

// Screen frames in bottom-left terms have their origin at the bottom-left
// corner of the primary screen.
QRect PrimaryScreenGeometry() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry() : QRect();
}

QRectF ToScreenBottomLeft(const QRect& rect) {
    const QRect primary = PrimaryScreenGeometry();
    return ToBottomLeft(rect.translated(-primary.x(), 0), primary.y() + primary.height());
}

QRect FromScreenBottomLeft(const QRectF& frame) {
    const QRect primary = PrimaryScreenGeometry();
    return FromBottomLeft(frame, primary.y() + primary.height()).translated(primary.x(), 0);
}

}  // namespace

MAAttachedWindow* MAAttachedWindow::create(QWidget* view, QPointF point, QWidget* window, int side,
                                           double distance) {
    if (!view)
        return nullptr;
    return new MAAttachedWindow(view, point, window, side, distance);
}

MAAttachedWindow::MAAttachedWindow(QWidget* view, QPointF point, QWidget* window, int side,
                                   double distance)
    : QWidget(window ? window->window() : nullptr, Qt::Tool | Qt::FramelessWindowHint),
      view_(view),
      window_(window ? window->window() : nullptr),
      point_(point),
      side_(side),
      distance_(distance) {
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowOpacity(1.0);
    if (!view_->testAttribute(Qt::WA_Resized))
        view_->adjustSize();
    view_->setParent(this);
    shape_.viewSize = view_->size();
    viewFrame_ = QRectF(QPointF(), shape_.viewSize);
    if (side_ == MAAttached::kAutomatic)
        side_ = bestSideForAutomaticPosition();
    updateBubbleGeometry();
    updateBackground();
    view_->show();
    if (window_)
        window_->installEventFilter(this);
    auto* close = new QShortcut(QKeySequence::Close, this);
    connect(close, &QShortcut::activated, this, &MAAttachedWindow::performClose);
}

MAAttachedWindow::~MAAttachedWindow() = default;

MAAttached::Shape MAAttachedWindow::shape() const {
    MAAttached::Shape shape = shape_;
    shape.scale = 1.0;
    return shape;
}

QPointF MAAttachedWindow::pointOnScreen() const {
    if (!window_)
        return point_;
    return ToScreenBottomLeft(window_->geometry()).topLeft() + point_;
}

int MAAttachedWindow::bestSideForAutomaticPosition() const {
    const QScreen* screen =
        window_ && window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    const QRectF visible = screen ? ToScreenBottomLeft(screen->availableGeometry()) : QRectF();
    const QRectF parent = window_ ? ToScreenBottomLeft(window_->geometry()) : visible;
    return MAAttached::bestSide(shape(), pointOnScreen(), distance_, visible, parent);
}

void MAAttachedWindow::updateBubbleGeometry() {
    shape_.viewSize = view_->size();
    const MAAttached::Frames frames =
        MAAttached::frames(shape(), pointOnScreen(), side_, distance_);
    viewFrame_ = frames.view;
    frame_ = frames.window;
    const bool wasResizing = resizing_;
    resizing_ = true;
    setGeometry(FromScreenBottomLeft(frame_));
    view_->setGeometry(FromBottomLeft(viewFrame_, frame_.height()));
    resizing_ = wasResizing;
}

void MAAttachedWindow::updateBackground() {
    const double ratio = devicePixelRatioF();
    const QSize size = frame_.size().toSize();
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(0, frame_.height());
        painter.scale(1, -1);
        const QPainterPath path = MAAttached::bubblePath(shape(), viewFrame_, side_);
        painter.setClipPath(path);
        painter.fillPath(path, background_);
        if (borderWidth_ > 0) {
            // The clip keeps the inner half of the stroke.
            QPen pen(borderColor_, borderWidth_ * 2 * shape().scale);
            pen.setJoinStyle(Qt::RoundJoin);
            painter.strokePath(path, pen);
        }
    }
    image_ = image;
    update();
}

void MAAttachedWindow::redisplay() {
    if (resizing_)
        return;
    resizing_ = true;
    setUpdatesEnabled(false);
    updateBubbleGeometry();
    updateBackground();
    setUpdatesEnabled(true);
    resizing_ = false;
}

void MAAttachedWindow::setBackgroundColor(const QColor& colour) {
    if (background_ == QBrush(colour))
        return;
    background_ = QBrush(colour);
    updateBackground();
}

void MAAttachedWindow::setBackgroundImage(const QImage& image) {
    if (image.isNull())
        return;
    // Painted in bottom-left terms: flipped here so the picture stands upright.
    background_ = QBrush(image.mirrored(false, true));
    updateBackground();
}

void MAAttachedWindow::setBorderColor(const QColor& colour) {
    if (borderColor_ == colour)
        return;
    borderColor_ = colour;
    updateBackground();
}

void MAAttachedWindow::setBorderWidth(double width) {
    if (borderWidth_ == width)
        return;
    borderWidth_ = std::min(width, shape_.viewMargin);
    updateBackground();
}

void MAAttachedWindow::setViewMargin(double margin) {
    if (shape_.viewMargin == margin)
        return;
    shape_.viewMargin = std::max(0.0, margin);
    setCornerRadius(shape_.cornerRadius);
}

void MAAttachedWindow::setCornerRadius(double radius) {
    const double side = std::min(viewFrame_.width(), viewFrame_.height());
    const double limit = (side + 2 * shape_.viewMargin - shape_.arrowBaseWidth) / 2;
    shape_.cornerRadius = std::max(0.0, std::min(radius, limit));
    setArrowBaseWidth(shape_.arrowBaseWidth);
}

void MAAttachedWindow::setArrowBaseWidth(double width) {
    const double side = std::min(viewFrame_.width(), viewFrame_.height());
    double limit = side + 2 * shape_.viewMargin - shape_.cornerRadius;
    if (shape_.drawsRoundCornerBesideArrow)
        limit -= shape_.cornerRadius;
    shape_.arrowBaseWidth = std::min(width, limit);
    redisplay();
}

void MAAttachedWindow::setArrowHeight(double height) {
    if (shape_.arrowHeight == height)
        return;
    shape_.arrowHeight = height;
    redisplay();
}

void MAAttachedWindow::setHasArrow(bool hasArrow) {
    if (shape_.hasArrow == hasArrow)
        return;
    shape_.hasArrow = hasArrow;
    updateBackground();
}

void MAAttachedWindow::setDrawsRoundCornerBesideArrow(bool draws) {
    if (shape_.drawsRoundCornerBesideArrow == draws)
        return;
    shape_.drawsRoundCornerBesideArrow = draws;
    redisplay();
}

void MAAttachedWindow::setPoint(QPointF point, int side) {
    point_ = point;
    side_ = side;
    setUpdatesEnabled(false);
    updateBubbleGeometry();
    updateBackground();
    setUpdatesEnabled(true);
}

void MAAttachedWindow::performClose() {
    if (window_)
        window_->close();
    else
        close();
}

void MAAttachedWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPointF(0, 0), image_);
}

void MAAttachedWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    redisplay();
}

bool MAAttachedWindow::eventFilter(QObject* watched, QEvent* event) {
    // Attached to the parent: it moves along.
    if (watched == window_ && event->type() == QEvent::Move && !resizing_)
        updateBubbleGeometry();
    return QWidget::eventFilter(watched, event);
}
