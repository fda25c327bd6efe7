#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "TCImageWindow.h"
#include "TCWindowButton.h"
#include "UserDefaults.h"

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

struct Window : TCImageWindow {
    Window() {
        resize(kWidth, kHeight);
        setWindowTitle("Harbex");
    }
    QPoint at(ButtonKind kind) const { return standardWindowButton(kind)->pos(); }
};

TEST(ImageWindowTest, ContentEndsAtTheBarAndButtonsAreCentredInIt) {
    struct Case {
        double barHeight;
        int buttonTop;  // halves round away from zero
    };
    for (const Case& c : {Case{22, 4}, Case{23, 4}, Case{24, 5}, Case{25, 5}, Case{42, 14}}) {
        Window window;
        window.setTitleBarHeight(c.barHeight);
        SCOPED_TRACE(c.barHeight);
        EXPECT_EQ(window.contentView()->geometry(),
                  QRect(0, int(c.barHeight), kWidth, kHeight - int(c.barHeight)));
        EXPECT_EQ(window.titleBarContainer()->geometry(), QRect(0, 0, kWidth, int(c.barHeight)));
        EXPECT_EQ(window.titleBarView()->size(), window.titleBarContainer()->size());
        EXPECT_EQ(window.at(TCImageWindow::kCloseButton), QPoint(8, c.buttonTop));
        EXPECT_EQ(window.at(TCImageWindow::kMinimizeButton), QPoint(28, c.buttonTop));
        EXPECT_EQ(window.at(TCImageWindow::kZoomButton), QPoint(48, c.buttonTop));
    }
}

TEST(ImageWindowTest, ButtonsStackWithCloseOnTop) {
    Window window;
    window.setTitleBarHeight(80);
    window.setVerticalTrafficLightButtons(true);
    // Stack 3 x 14 + 2 x (6 - 2) = 50 high, centred in the 80-point bar.
    EXPECT_EQ(window.at(TCImageWindow::kCloseButton), QPoint(8, 15));
    EXPECT_EQ(window.at(TCImageWindow::kMinimizeButton), QPoint(8, 33));
    EXPECT_EQ(window.at(TCImageWindow::kZoomButton), QPoint(8, 51));
}

TEST(ImageWindowTest, ButtonsBelowTheTopMarginWhenNotCentredAndMovedUpOnRequest) {
    Window window;
    window.setTitleBarHeight(40);
    window.setCenterTrafficLightButtons(false);
    EXPECT_EQ(window.at(TCImageWindow::kCloseButton), QPoint(8, 3));
    window.setTopButtonMoveUp(2);
    EXPECT_EQ(window.at(TCImageWindow::kCloseButton).y(), 3) << "takes effect at the next layout";
    window.setTrafficLightButtonsLeftMargin(20);
    EXPECT_EQ(window.at(TCImageWindow::kCloseButton), QPoint(20, 1));
}

TEST(ImageWindowTest, SettingTheCurrentValueLaysNothingOut) {
    Window window;
    TCWindowButton* close = window.standardWindowButton(TCImageWindow::kCloseButton);
    close->move(100, 5);
    window.setTitleBarHeight(window.titleBarHeight());
    window.setTrafficLightButtonsLeftMargin(window.trafficLightButtonsLeftMargin());
    window.setTrafficLightSeparation(window.trafficLightSeparation());
    EXPECT_EQ(close->pos(), QPoint(100, 5));
    window.setTitleBarHeight(30);
    EXPECT_EQ(close->pos(), QPoint(8, 8));
}

TEST(ImageWindowTest, SheetsHangFromTheBarsBottomEdge) {
    Window window;
    window.setTitleBarHeight(50);
    const QRectF placed = window.positionSheet(QRectF(10, 0, 200, 100));
    EXPECT_EQ(placed, QRectF(10, kHeight - 50, 200, 100));
    QWidget sheet;
    sheet.resize(200, 100);
    window.placeSheet(&sheet);
    EXPECT_EQ(sheet.pos(), window.mapToGlobal(QPoint(100, 50)));
}

TEST(ImageWindowTest, CallersButtonTakesTheStandardOnesPlace) {
    Window window;
    auto* mine = new TCWindowButton(QSize(14, 14), "test.mine");
    window.setCloseButton(mine);
    window.show();
    window.setTitleBarHeight(42);
    EXPECT_TRUE(window.standardWindowButton(TCImageWindow::kCloseButton)->isHidden());
    EXPECT_EQ(mine->pos(), QPoint(8, 14));
    mine->click();
    EXPECT_FALSE(window.isVisible());
}

TEST(ImageWindowTest, BarControlsFollowTheWindowsActivity) {
    Window window;
    auto* back = new QPushButton("Back", window.titleBarView());
    auto* label = new QLabel("Title", window.titleBarView());
    window.move(400, 400);  // away from the pointer, which would light the buttons
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(back->isEnabled());
    TCWindowButton* close = window.standardWindowButton(TCImageWindow::kCloseButton);
    EXPECT_EQ(close->image().cacheKey(), close->activeImage().cacheKey());

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(back->isEnabled());
    EXPECT_FALSE(label->isEnabled());
    EXPECT_EQ(close->image().cacheKey(), close->activeNotKeyWindowImage().cacheKey());

    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(back->isEnabled());
    EXPECT_TRUE(label->isEnabled());
}

// The second press of a double click and its release.
void DoubleClick(QWidget* widget, QPointF at) {
    const QPointF global = widget->mapToGlobal(at);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, global, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &twice);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(widget, &release);
}

TEST(ImageWindowTest, DoubleClickMinimisesOnlyWhenTheSettingSaysSo) {
    for (const QVariant& setting : {QVariant(), QVariant(false), QVariant(true)}) {
        if (setting.isValid())
            UserDefaults::setValue("AppleMiniaturizeOnDoubleClick", setting);
        Window window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        DoubleClick(window.titleBarView(), QPointF(200, 10));
        EXPECT_EQ(window.isMinimized(), setting.isValid() && setting.toBool())
            << setting.toString().toStdString();
    }
}

// Whether the bar shows anything but white.
bool BarHasInk(TCImageWindow& window) {
    const QImage bar = window.titleBarView()->grab().toImage();
    for (int y = 0; y < bar.height(); ++y)
        for (int x = 0; x < bar.width(); ++x)
            if (qGray(bar.pixel(x, y)) < 160)
                return true;
    return false;
}

TEST(ImageWindowTest, TitleIsDrawnOnlyWhenAsked) {
    Window window;
    window.setWindowTitle("Recovered files");
    EXPECT_FALSE(BarHasInk(window));
    window.setShowsTitle(true);
    EXPECT_TRUE(BarHasInk(window));
}

}  // namespace
