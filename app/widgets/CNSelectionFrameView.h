#pragma once

// The rubber band the grid draws while a drag selects items.

#include <QWidget>

class CNSelectionFrameView : public QWidget {
    Q_OBJECT

public:
    explicit CNSelectionFrameView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
