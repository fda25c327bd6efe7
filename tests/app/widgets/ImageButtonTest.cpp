#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "Images.h"
#include "KvHandButton.h"
#include "KvProgressView.h"
#include "TCImageButton.h"

namespace {

QRgb Face(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage();
    return image.pixel(image.width() / 2, 3);
}

class ImageButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        button.setImageFromFileNormalName("scan_normal", "scan_press", "scan_hover",
                                          "scan_disable");
        button.resize(120, 36);
        button.show();
    }
    TCImageButton button;
};

TEST_F(ImageButtonTest, ThePictureFollowsTheState) {
    struct Case {
        bool usable, enabled, hover, pressed;
        const char* picture;
    };
    const Case cases[] = {
        {true, true, false, false, "scan_normal"},    {true, true, true, false, "scan_hover"},
        {true, true, true, true, "scan_press"},       {true, true, false, true, "scan_press"},
        {false, true, true, true, "scan_disable"},    {true, false, false, false, "scan_disable"},
        {false, false, false, false, "scan_disable"},
    };
    for (const Case& c : cases) {
        button.setButtonEnabled(c.usable);
        button.setEnabled(c.enabled);
        button.setIsFocus(c.hover);
        button.setButtonClicked(c.pressed);
        EXPECT_EQ(Face(button.currentImage()), Face(Images::named(c.picture))) << c.picture;
        // What is painted is that picture.
        EXPECT_EQ(Face(button.grab()), Face(Images::named(c.picture))) << c.picture;
    }
}

TEST_F(ImageButtonTest, AnUnusableButtonSendsNoClicksButStaysEnabled) {
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    button.setButtonEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_TRUE(button.isEnabled());
    button.setButtonEnabled(true);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(ImageButtonTest, TheLabelTurnsGreyWithTheDisabledLookAndNarrowsThePictures) {
    button.setTextWithName("Scan", QRect(0, 0, 100, 36));
    EXPECT_EQ(button.dstRect().width(), 96);
    ASSERT_NE(button.textField(), nullptr);
    EXPECT_EQ(button.textField()->text(), "Scan");
    button.setButtonEnabled(false);
    EXPECT_TRUE(button.textField()->styleSheet().contains("gray"));
    button.setButtonEnabled(true);
    EXPECT_TRUE(button.textField()->styleSheet().contains("white"));
}

// Counts the paints a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(ImageButtonTest, AnIdleLabelledButtonStopsPainting) {
    button.setTextWithName("Scan", QRect(0, 0, 100, 36));
    PaintCounter counter;
    button.installEventFilter(&counter);
    button.textField()->installEventFilter(&counter);
    button.update();
    // Let the first paints arrive, however slowly a loaded machine delivers
    // them; a button that repaints itself never goes quiet.
    int before = -1;
    for (int waited = 0; waited < 5000 && (counter.paints == 0 || counter.paints != before);
         waited += 100) {
        before = counter.paints;
        QTest::qWait(100);
    }
    ASSERT_GT(counter.paints, 0);
    counter.paints = 0;
    QTest::qWait(300);
    EXPECT_EQ(counter.paints, 0);
}

TEST_F(ImageButtonTest, TheLabelGreysWhenTheButtonIsDisabled) {
    button.setTextWithName("Scan", QRect(0, 0, 100, 36));
    button.setEnabled(false);
    EXPECT_TRUE(button.textField()->styleSheet().contains("gray"));
    button.setEnabled(true);
    EXPECT_TRUE(button.textField()->styleSheet().contains("white"));
}

TEST_F(ImageButtonTest, HoverStartsOnlyWhileEnabled) {
    button.setEnabled(false);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_FALSE(button.isFocus());
    button.setEnabled(true);
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.isFocus());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.isFocus());
}

TEST(HandButton, ShowsAPointingHand) {
    KvHandButton link("Learn more");
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(link.isFlat());
}

TEST(ProgressView, TheBarFollowsThePercentageWithAStubAndAFullEnd) {
    KvProgressView track;
    track.resize(500, 4);
    struct Case {
        float percent;
        int width;
    };
    for (const Case& c :
         {Case{0, 10}, Case{1, 10}, Case{50, 250}, Case{99.9f, 500}, Case{100, 500}}) {
        track.changeProgressValue(c.percent);
        EXPECT_EQ(track.pProgress1()->width(), c.width) << c.percent;
        EXPECT_EQ(track.pProgress1()->height(), KvProgressView::kBarHeight);
    }
    track.changeProgressValue(50);
    track.resize(800, 4);
    EXPECT_EQ(track.pProgress1()->width(), 250);
    track.changeProgressValue(50);
    EXPECT_EQ(track.pProgress1()->width(), 400);
}

}  // namespace
