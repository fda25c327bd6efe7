#pragma once

// A plain header-cell look: a white cell with thin black separators on the
// right, the top and the bottom, its title drawn inside. Highlighting does
// not change it.

#include <QRect>
#include <QString>

class QPainter;

class CustomTableHeaderView {
public:
    explicit CustomTableHeaderView(const QString& title = {}) : title_(title) {}

    const QString& title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }

    void drawWithFrame(QPainter& painter, const QRect& frame) const;
    void highlight(bool highlighted, QPainter& painter, const QRect& frame) const;
    void drawWithFrame(QPainter& painter, const QRect& frame, bool highlighted) const;
    // The part of `frame` the cell fills: all but its bottom line.
    static QRect interiorRect(const QRect& frame);

private:
    QString title_;
};
