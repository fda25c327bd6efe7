#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include "Fader.h"
#include "KvDialogFading.h"
#include "KvScanEndSaveWindowController.h"
#include "ModalRunner.h"
#include "TCImageButton.h"

namespace {

// Fading on for one test.
struct Fading {
    Fading() { Fader::setEnabled(true); }
    ~Fading() { Fader::setEnabled(false); }
};

TEST(DialogFading, QuittingDuringADialogFadesItOutFirstThenQuits) {
    Fading on;
    KvScanEndSaveWindowController dialog;
    int quits = 0;
    bool fadedWhenQuit = false;
    bool answered = true;
    QTimer::singleShot(0, &dialog, [&] {
        answered = dialog.fading()->applicationShouldTerminate([&] {
            ++quits;
            fadedWhenQuit = dialog.windowOpacity() == 0.0 && !dialog.isVisible();
        });
    });
    ModalRunner::runModalForWindow(&dialog);
    EXPECT_FALSE(answered);
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(fadedWhenQuit);
    // Asked again once shutting down: quit at once.
    EXPECT_TRUE(dialog.fading()->applicationShouldTerminate({}));
}

TEST(DialogFading, TheCloseControlFadesButOkClosesAtOnce) {
    Fading on;
    KvScanEndSaveWindowController dialog;
    QTimer::singleShot(0, &dialog, [&] { dialog.close(); });
    ModalRunner::runModalForWindow(&dialog);
    EXPECT_EQ(dialog.windowOpacity(), 0.0);
    EXPECT_FALSE(dialog.isVisible());

    KvScanEndSaveWindowController answered;
    bool closedAtOnce = false;
    QTimer::singleShot(0, &answered, [&] {
        answered.okButton()->click();
        closedAtOnce = !answered.isVisible() && !ModalRunner::isRunning(&answered);
    });
    ModalRunner::runModalForWindow(&answered);
    EXPECT_TRUE(closedAtOnce);
}

}  // namespace
