#include <gtest/gtest.h>

#include "Geometry.h"

namespace {

struct Case {
    QRectF bottomLeft;
    double parentHeight;
    QRect expected;
};

TEST(Geometry, FramesFromTheBottomLeftBecomeQtRectangles) {
    const Case cases[] = {
        {{0, 0, 100, 20}, 200, {0, 180, 100, 20}},     // at the bottom
        {{10, 180, 100, 20}, 200, {10, 0, 100, 20}},   // at the top
        {{828, 20, 16, 16}, 600, {828, 564, 16, 16}},  // a title-bar icon
        {{0, 0.5, 10, 10}, 100, {0, 90, 10, 10}},      // 89.5 rounds away from zero
        {{-0.5, 0, 10, 10}, 100, {-1, 90, 10, 10}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FromBottomLeft(c.bottomLeft, c.parentHeight), c.expected)
            << c.bottomLeft.x() << "," << c.bottomLeft.y();
        if (c.bottomLeft.toRect() == c.bottomLeft) {
            EXPECT_EQ(ToBottomLeft(c.expected, c.parentHeight), c.bottomLeft);
        }
    }
}

}  // namespace
