#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <memory>

#include "MAAttachedWindow.h"

namespace {

using namespace MAAttached;

QWidget* ViewOf(int width, int height) {
    auto* view = new QWidget;
    view->resize(width, height);
    return view;
}

int PrimaryBottom() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return screen.y() + screen.height();
}

TEST(AttachedGeometry, TheBubbleWrapsTheViewWithRoundCornersAndNoArrow) {
    Shape shape;
    shape.viewSize = {200, 100};
    const Frames placed = frames(shape, {500, 400}, kBelowRightward, 10.0);
    EXPECT_EQ(placed.window.size(), QSizeF(204, 104));
    EXPECT_EQ(placed.view, QRectF(2, 2, 200, 100));

    const QPainterPath path = bubblePath(shape, placed.view, kBelowRightward);
    EXPECT_EQ(path.boundingRect(), QRectF(1, 1, 202, 102));
    // Round corners: the very corner is outside, a point 8 in is inside.
    EXPECT_FALSE(path.contains(QPointF(1.5, 1.5)));
    EXPECT_FALSE(path.contains(QPointF(202.5, 102.5)));
    EXPECT_TRUE(path.contains(QPointF(9, 9)));
    EXPECT_TRUE(path.contains(QPointF(195, 95)));
}

TEST(AttachedGeometry, EachSidePutsTheBubbleAndItsArrowWhereTheyBelong) {
    Shape shape;
    shape.viewSize = {100, 50};
    shape.arrowHeight = 10;
    shape.arrowBaseWidth = 20;
    shape.cornerRadius = 4;
    // The window is 104 x 54 plus 10 for the arrow; the arrow inset is 4 + 10.
    const QPointF point(500, 400);
    struct Case {
        int side;
        QRectF window;
        QRectF view;
    };
    const Case cases[] = {
        {kLeft, {500 - 114 - 5, 400 - 27, 114, 54}, {2, 2, 100, 50}},
        {kBelow, {500 - 52, 400 - 64 - 5, 104, 64}, {2, 2, 100, 50}},
        {kRight, {505, 400 - 27, 114, 54}, {12, 2, 100, 50}},
        {kAbove, {500 - 52, 405, 104, 64}, {2, 12, 100, 50}},
        {kLeftUpward, {500 - 114 - 5, 400 - 14, 114, 54}, {2, 2, 100, 50}},
        {kLeftDownward, {500 - 114 - 5, 400 - 40, 114, 54}, {2, 2, 100, 50}},
        {kRightUpward, {505, 400 - 14, 114, 54}, {12, 2, 100, 50}},
        {kRightDownward, {505, 400 - 40, 114, 54}, {12, 2, 100, 50}},
        {kAboveLeftward, {500 - 90, 405, 104, 64}, {2, 12, 100, 50}},
        {kAboveRightward, {500 - 14, 405, 104, 64}, {2, 12, 100, 50}},
        {kBelowLeftward, {500 - 90, 400 - 64 - 5, 104, 64}, {2, 2, 100, 50}},
        {kBelowRightward, {500 - 14, 400 - 64 - 5, 104, 64}, {2, 2, 100, 50}},
        {kAutomatic, {500, 400, 104, 54}, {2, 2, 100, 50}},
    };
    for (const Case& c : cases) {
        const Frames placed = frames(shape, point, c.side, 5.0);
        EXPECT_EQ(placed.window, c.window) << "side " << c.side;
        EXPECT_EQ(placed.view, c.view) << "side " << c.side;
        if (c.side == kAutomatic)
            continue;
        // The arrow's tip lies on the window's edge facing the point, `distance` from it.
        const QPainterPath path = bubblePath(shape, placed.view, c.side);
        const QRectF outline = path.boundingRect().translated(placed.window.topLeft());
        switch (groupOf(c.side)) {
            case Group::kLeft:
                EXPECT_NEAR(outline.right(), point.x() - 5, 1.0) << "side " << c.side;
                break;
            case Group::kBelow:
                EXPECT_NEAR(outline.bottom(), point.y() - 5, 1.0) << "side " << c.side;
                break;
            case Group::kRight:
                EXPECT_NEAR(outline.left(), point.x() + 5, 1.0) << "side " << c.side;
                break;
            default:
                EXPECT_NEAR(outline.top(), point.y() + 5, 1.0) << "side " << c.side;
                break;
        }
    }
}

TEST(AttachedGeometry, TheAutomaticSideIsTheFirstThatFitsThenMovedOffTheParentsEdge) {
    Shape shape;
    shape.viewSize = {200, 100};  // a 204 x 104 bubble, arrow inset 8
    struct Case {
        QRectF screen;
        QPointF point;
        int side;
    };
    const QRectF wide(0, 0, 1000, 800);
    const Case cases[] = {
        {wide, {500, 400}, kBelow},
        {wide, {50, 400}, kBelowRightward},  // the centred bubble would leave on the left
        {wide, {950, 400}, kBelowLeftward},
        {wide, {500, 50}, kRightUpward},  // no room below: right, reaching upwards
        {wide, {900, 50}, kLeftUpward},   // nor on the right
        {{0, 0, 1000, 120}, {500, 100}, kRightDownward},
        {{0, 0, 300, 800}, {150, 50}, kAbove},  // neither right nor left
        {{0, 0, 300, 150}, {150, 50}, kBelow},  // nothing fits
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bestSide(shape, c.point, 10.0, c.screen, c.screen), c.side)
            << c.point.x() << "," << c.point.y();
    }
    // The parent's frame, not the screen's, decides the reach.
    EXPECT_EQ(bestSide(shape, {300, 400}, 10.0, wide, QRectF(250, 100, 400, 600)), kBelowRightward);
}

TEST(AttachedWindow, NoViewGivesNoWindow) {
    EXPECT_EQ(MAAttachedWindow::create(nullptr, {0, 0}), nullptr);
}

TEST(AttachedWindow, BelowOnTheRightItsTopEdgeIsTheDistanceUnderThePoint) {
    QWidget parent;
    parent.setGeometry(100, 100, 400, 300);
    // 50 from the parent's left, 50 below its top edge.
    const std::unique_ptr<MAAttachedWindow> popup(
        MAAttachedWindow::create(ViewOf(200, 100), {50, 250}, &parent, kBelowRightward, 10.0));
    EXPECT_EQ(popup->geometry(), QRect(150 - 8, 150 + 10, 204, 104));
    EXPECT_EQ(popup->cornerRadius(), 8.0);
    EXPECT_EQ(popup->view()->geometry(), QRect(2, 2, 200, 100));
    // The point in screen terms, origin at the primary screen's bottom-left corner.
    EXPECT_EQ(popup->appKitFrame(), QRectF(142, PrimaryBottom() - 160 - 104, 204, 104));

    parent.show();
    parent.move(130, 120);
    EXPECT_EQ(popup->pos(), parent.geometry().topLeft() + QPoint(50 - 8, 50 + 10));
}

TEST(AttachedWindow, TheAutomaticSideIsChosenOnTheParentsScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget parent;
    parent.setGeometry(screen.adjusted(0, 0, 0, -10));
    // 20 above the parent's bottom edge: no room below, room on the right.
    const std::unique_ptr<MAAttachedWindow> popup(
        MAAttachedWindow::create(ViewOf(200, 100), {100, 20}, &parent, kAutomatic, 10.0));
    EXPECT_EQ(popup->side(), kRightUpward);
}

TEST(AttachedWindow, SettersKeepTheirValuesInsideTheBubble) {
    const std::unique_ptr<MAAttachedWindow> popup(
        MAAttachedWindow::create(ViewOf(200, 100), {400, 300}, nullptr, kBelow, 0.0));
    popup->setBorderWidth(5.0);
    EXPECT_EQ(popup->borderWidth(), 2.0);

    // Smaller side 100 + 2 margins of 2.
    popup->setCornerRadius(1000.0);
    EXPECT_EQ(popup->cornerRadius(), 52.0);
    popup->setCornerRadius(-3.0);
    EXPECT_EQ(popup->cornerRadius(), 0.0);
    popup->setCornerRadius(8.0);
    popup->setArrowBaseWidth(500.0);
    EXPECT_EQ(popup->arrowBaseWidth(), 104.0 - 8 - 8);
    popup->setCornerRadius(1000.0);
    EXPECT_EQ(popup->cornerRadius(), (104.0 - 88) / 2);

    popup->setViewMargin(-1.0);
    EXPECT_EQ(popup->viewMargin(), 0.0);
    EXPECT_EQ(popup->size(), QSize(200, 100));
}

TEST(AttachedWindow, WithoutTheArrowTheRoomForItStays) {
    const std::unique_ptr<MAAttachedWindow> popup(
        MAAttachedWindow::create(ViewOf(200, 100), {400, 300}, nullptr, kBelowRightward, 0.0));
    popup->setArrowHeight(10.0);
    popup->setArrowBaseWidth(20.0);
    EXPECT_EQ(popup->size(), QSize(204, 114));
    // The arrow rises from 9 to 29 along the top edge to its tip at (19, 113)
    // in bottom-left terms: Qt's row 4 in the middle of it.
    const auto alphaAt = [&](int x, int y) { return qAlpha(popup->backgroundImage().pixel(x, y)); };
    EXPECT_EQ(alphaAt(19, 6), 255);
    EXPECT_EQ(alphaAt(100, 6), 0);

    popup->setHasArrow(false);
    EXPECT_EQ(popup->size(), QSize(204, 114));
    EXPECT_EQ(alphaAt(19, 6), 0);
    EXPECT_EQ(alphaAt(100, 50), 255);
}

TEST(AttachedWindow, ACloseCommandClosesTheParent) {
    QWidget parent;
    parent.show();
    MAAttachedWindow* popup =
        MAAttachedWindow::create(ViewOf(50, 20), {10, 10}, &parent, kBelow, 0.0);
    popup->show();
    popup->performClose();
    EXPECT_FALSE(parent.isVisible());

    const std::unique_ptr<MAAttachedWindow> alone(
        MAAttachedWindow::create(ViewOf(50, 20), {10, 10}));
    alone->show();
    alone->performClose();
    EXPECT_FALSE(alone->isVisible());
}

}  // namespace
