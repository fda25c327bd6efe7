#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QWidget>

#include "TCWindowButton.h"

namespace {

QPixmap Filled(QColor colour) {
    QPixmap pixmap(14, 14);
    pixmap.fill(colour);
    return pixmap;
}

struct Button : TCWindowButton {
    explicit Button(const QString& group, QWidget* parent)
        : TCWindowButton(QSize(14, 14), group, parent) {
        setActiveImage(Filled(Qt::red));
        setActiveNotKeyWindowImage(Filled(Qt::gray));
        setInactiveImage(Filled(Qt::white));
        setRolloverImage(Filled(Qt::blue));
    }
    void enter() {
        QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        enterEvent(&event);
    }
    void leave() {
        QEvent event(QEvent::Leave);
        leaveEvent(&event);
    }
    QRgb colour() const { return image().toImage().pixel(0, 0); }
};

TEST(WindowButtonTest, PointerOverOneButtonLightsTheWholeGroup) {
    QWidget window;  // never shown, so never the active window
    Button first("test.pair", &window);
    Button second("test.pair", &window);
    Button stranger("test.other", &window);
    first.enter();
    EXPECT_EQ(first.colour(), QColor(Qt::blue).rgb());
    EXPECT_EQ(second.colour(), QColor(Qt::blue).rgb());
    EXPECT_EQ(stranger.colour(), QColor(Qt::gray).rgb());
    // Moving straight from one to the other keeps the rollover.
    second.enter();
    first.leave();
    EXPECT_EQ(first.colour(), QColor(Qt::blue).rgb());
    second.leave();
    EXPECT_EQ(first.colour(), QColor(Qt::gray).rgb());
    EXPECT_EQ(second.colour(), QColor(Qt::gray).rgb());
}

TEST(WindowButtonTest, ExtraReleasesLeaveTheCountAtZero) {
    TCWindowButtonGroup* group = TCWindowButtonGroup::groupWithIdentifier("test.count");
    group->didReleaseMousePointer();
    group->didReleaseMousePointer();
    EXPECT_EQ(group->numberOfCaptures(), 0);
    group->didCaptureMousePointer();
    EXPECT_TRUE(group->shouldDisplayRollOver());
    group->resetMouseCaptures();
    EXPECT_FALSE(group->shouldDisplayRollOver());
}

TEST(WindowButtonTest, ButtonsWithoutIdentifierShareTheDefaultGroup) {
    QWidget window;
    Button first({}, &window);
    Button second({}, &window);
    EXPECT_EQ(first.group(), second.group());
    EXPECT_EQ(first.group()->identifier(), TCWindowButtonGroup::kDefaultIdentifier);
}

TEST(WindowButtonTest, DisabledButtonNeverShowsItsRollover) {
    QWidget window;
    Button first("test.disabled", &window);
    Button second("test.disabled", &window);
    second.setEnabled(false);
    EXPECT_EQ(second.colour(), QColor(Qt::white).rgb());
    first.enter();
    EXPECT_EQ(first.colour(), QColor(Qt::blue).rgb());
    EXPECT_EQ(second.colour(), QColor(Qt::white).rgb());
    first.leave();
}

TEST(WindowButtonTest, FullScreenHidesTheButtonAndClearsTheRollover) {
    QWidget window;
    Button first("test.full", &window);
    Button second("test.full", &window);
    window.show();
    first.enter();
    first.windowWillEnterFullScreen();
    EXPECT_TRUE(first.isHidden());
    EXPECT_EQ(first.group()->numberOfCaptures(), 0);
    EXPECT_NE(second.colour(), QColor(Qt::blue).rgb());
    first.windowWillExitFullScreen();
    EXPECT_FALSE(first.isHidden());
}

}  // namespace
