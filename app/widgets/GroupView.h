#pragma once

// A white panel with a faint rounded frame, behind groups of controls.

#include <QWidget>

class GroupView : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    // The frame: 18 points in from the sides and the bottom, 35 from the top.
    static QRectF frameRect(const QSizeF& size);

protected:
    void paintEvent(QPaintEvent* event) override;
};
