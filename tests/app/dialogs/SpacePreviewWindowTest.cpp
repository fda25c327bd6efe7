#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>

#include "ModalRunner.h"
#include "SpacePreviewWindow.h"

namespace {

QImage Picture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
}

TEST(SpacePreviewWindow, ShowsTheNameInItsBarAndThePictureBelow) {
    SpacePreviewWindow preview;
    preview.setStrName(QStringLiteral("holiday.jpg"));
    preview.setShowImage(Picture(40, 30));
    EXPECT_EQ(preview.titleBarHeight(), 20.0);
    EXPECT_EQ(preview.titleLabel()->text(), QStringLiteral("holiday.jpg"));
    EXPECT_EQ(preview.titleLabel()->geometry(), QRect(70, 2, 410, 16));
    EXPECT_EQ(preview.imageView()->pixmap().size(), QSize(40, 30));

    // A picture larger than the window shrinks, keeping its proportions.
    preview.setShowImage(Picture(4000, 1000));
    const QSize shown = preview.imageView()->pixmap().size();
    EXPECT_LE(shown.width(), preview.width());
    EXPECT_NEAR(shown.width(), 4 * shown.height(), 4);
}

TEST(SpacePreviewWindow, ItsCloseButtonLeavesAnotherWindowsModalSessionRunning) {
    SpacePreviewWindow preview;
    preview.show();
    QWidget dialog;
    bool stillRunning = false;
    QTimer::singleShot(0, [&] {
        preview.standardWindowButton(TCImageWindow::kCloseButton)->click();
        stillRunning = ModalRunner::isRunning(&dialog);
        ModalRunner::stopModal(&dialog, 7);
    });
    EXPECT_EQ(ModalRunner::runModalForWindow(&dialog), 7);
    EXPECT_TRUE(stillRunning);
    EXPECT_TRUE(preview.isClosed());
    EXPECT_FALSE(preview.isVisible());
}

}  // namespace
