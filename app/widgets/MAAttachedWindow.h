#pragma once

// A borderless pop-up that shows a view inside a rounded bubble next to a
// point, with an optional arrow from the bubble to the point. The point is in
// the parent window's own bottom-left terms (origin at its bottom-left
// corner, y upwards), or in screen terms of the same kind when there is no
// parent; the side is given or chosen so that the bubble fits on the parent's
// screen. The bubble is drawn once into a picture, which the window paints.
// The pop-up stays above its parent and follows it when it moves; a close
// command in the pop-up closes the parent. The view becomes the pop-up's child.

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include "MAAttachedGeometry.h"

class MAAttachedWindow : public QWidget {
    Q_OBJECT

public:
    // Null when there is no view.
    static MAAttachedWindow* create(QWidget* view, QPointF point, QWidget* window = nullptr,
                                    int side = MAAttached::kAutomatic, double distance = 0.0);
    ~MAAttachedWindow() override;

    QWidget* view() const { return view_; }
    QWidget* parentWindow() const { return window_; }
    QPointF point() const { return point_; }
    int side() const { return side_; }
    double distance() const { return distance_; }
    QRectF viewFrame() const { return viewFrame_; }
    // The frame the window was given, in bottom-left screen terms.
    QRectF appKitFrame() const { return frame_; }

    const QBrush& windowBackgroundColor() const { return background_; }
    void setBackgroundColor(const QColor& colour);
    // The picture is repeated across the bubble; a null picture changes nothing.
    void setBackgroundImage(const QImage& image);
    const QColor& borderColor() const { return borderColor_; }
    void setBorderColor(const QColor& colour);
    double borderWidth() const { return borderWidth_; }
    // At most the view margin.
    void setBorderWidth(double width);
    double viewMargin() const { return shape_.viewMargin; }
    // Never below 0.
    void setViewMargin(double margin);
    double cornerRadius() const { return shape_.cornerRadius; }
    // At most half the bubble's smaller side less half the arrow's base.
    void setCornerRadius(double radius);
    double arrowBaseWidth() const { return shape_.arrowBaseWidth; }
    // At most what the bubble's smaller side leaves beside its corners.
    void setArrowBaseWidth(double width);
    double arrowHeight() const { return shape_.arrowHeight; }
    void setArrowHeight(double height);
    // Without the arrow the room for it stays.
    bool hasArrow() const { return shape_.hasArrow; }
    void setHasArrow(bool hasArrow);
    bool drawsRoundCornerBesideArrow() const { return shape_.drawsRoundCornerBesideArrow; }
    void setDrawsRoundCornerBesideArrow(bool draws);
    // Moves the bubble; the automatic side is kept as it is, not resolved.
    void setPoint(QPointF point, int side);

    // Closes the parent when there is one, else the pop-up.
    void performClose();
    // The bubble as drawn, window-sized.
    const QImage& backgroundImage() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MAAttachedWindow(QWidget* view, QPointF point, QWidget* window, int side, double distance);

    MAAttached::Shape shape() const;
    QPointF pointOnScreen() const;
    int bestSideForAutomaticPosition() const;
    void updateBubbleGeometry();
    void updateBackground();
    void redisplay();

    QWidget* view_;
    QPointer<QWidget> window_;
    QPointF point_;
    int side_;
    double distance_;
    QRectF viewFrame_;
    QRectF frame_;
    QBrush background_{Qt::white};
    QColor borderColor_{Qt::white};
    double borderWidth_ = 0.2;
    MAAttached::Shape shape_;
    bool resizing_ = false;
    QImage image_;
};
