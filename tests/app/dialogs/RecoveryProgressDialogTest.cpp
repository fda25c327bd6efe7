#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTimer>

#include <functional>
#include <vector>

#include "FakeFacade.h"
#include "KvProgressView.h"
#include "KvShowScanProgressWindowController.h"
#include "ModalRunner.h"
#include "ResultCode.h"
#include "TCImageButton.h"

namespace {

using Dialog = KvShowScanProgressWindowController;

constexpr int64_t kDestinationFull = 0x0102000300000D03;

// A running copy that the fake can pause and resume.
struct Copy {
    FakeFacade facade;
    Copy() {
        facade.recoveryTotal = 1000;
        facade.DoRecovery({}, "/tmp/out", "DoRecovery");
    }
};

std::vector<int> Requests(const QSignalSpy& spy) {
    std::vector<int> requests;
    for (const QList<QVariant>& call : spy)
        requests.push_back(call.at(0).toInt());
    return requests;
}

QWidget* ShownFace(const Dialog& dialog) {
    for (QWidget* face :
         {dialog.recoveryProgressView(), dialog.warningView(), dialog.noMemeryView()})
        if (!face->isHidden())
            return face;
    return nullptr;
}

TEST(RecoveryProgressDialog, EachButtonShowsItsFaceAndTellsTheDelegate) {
    struct Case {
        const char* name;
        std::function<void(Dialog&)> before;
        std::function<void(Dialog&)> press;
        std::vector<int> requests;
        QWidget* (Dialog::*face)() const;
    };
    const std::vector<Case> cases = {
        {"stop",
         {},
         &Dialog::stopProgressButtonAction,
         {Dialog::kPauseOrResume},
         &Dialog::warningView},
        {"do not stop",
         &Dialog::stopProgressButtonAction,
         &Dialog::noButtonAction,
         {Dialog::kPauseOrResume},
         &Dialog::recoveryProgressView},
        {"stop for good",
         &Dialog::stopProgressButtonAction,
         &Dialog::yesButtonAction,
         {Dialog::kStopForGood},
         &Dialog::warningView},
        {"give up when full",
         [](Dialog& d) { d.setNoMemeryViewHidden(kDestinationFull); },
         &Dialog::cancelButtonAction,
         {Dialog::kStopForGood},
         &Dialog::noMemeryView},
        {"go on when full",
         [](Dialog& d) { d.setNoMemeryViewHidden(kDestinationFull); },
         &Dialog::continueButtonAction,
         {Dialog::kPauseOrResume},
         &Dialog::recoveryProgressView},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Copy copy;
        copy.facade.advanceRecovery(100, "a.jpg", kDestinationFull);  // the engine pauses
        Dialog dialog;
        if (test.before)
            test.before(dialog);
        QSignalSpy spy(&dialog, &Dialog::stopButtonAction);
        test.press(dialog);
        EXPECT_EQ(Requests(spy), test.requests);
        EXPECT_EQ(ShownFace(dialog), (dialog.*test.face)());
    }
}

TEST(RecoveryProgressDialog, ANullNameKeepsTheLastNameAndStillMovesTheBar) {
    Dialog dialog;
    dialog.changeProgressValue(10, "IMG_0001.JPG");
    const int before = dialog.progressBar()->pProgress1()->width();
    dialog.changeProgressValue(60, QString());
    EXPECT_EQ(dialog.scaningFileName()->text(), "IMG_0001.JPG");
    EXPECT_GT(dialog.progressBar()->pProgress1()->width(), before);
    dialog.changeProgressValue(70, "IMG_0002.JPG");
    EXPECT_EQ(dialog.scaningFileName()->text(), "IMG_0002.JPG");
}

TEST(RecoveryProgressDialog, TheFullDestinationPromptIsOnlyForACopyPausedForRoom) {
    struct Case {
        const char* name;
        int64_t reported;  // what the copy reports, which pauses it when full
        bool resumedSince;
        int64_t shown;  // what the caller hands the dialog
        bool prompt;
    };
    const int64_t otherFailure = static_cast<int64_t>(MakeFailure(1, 20, kResultShortRead));
    const std::vector<Case> cases = {
        {"full, paused", kDestinationFull, false, kDestinationFull, true},
        {"full, resumed before the report arrived", kDestinationFull, true, kDestinationFull,
         false},
        {"another failure", otherFailure, false, otherFailure, false},
        {"no failure", 0, false, 0, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Copy copy;
        copy.facade.advanceRecovery(100, "a.jpg", test.reported);
        if (test.resumedSince)
            copy.facade.PauseOrResumeRecovery();
        Dialog dialog;
        EXPECT_EQ(dialog.setNoMemeryViewHidden(test.shown), test.prompt);
        EXPECT_EQ(ShownFace(dialog),
                  test.prompt ? dialog.noMemeryView() : dialog.recoveryProgressView());
    }
}

TEST(RecoveryProgressDialog, ContinueNeverPausesARunningCopy) {
    Copy copy;
    Dialog dialog;
    // The delegate toggles, as the results window does.
    QObject::connect(&dialog, &Dialog::stopButtonAction, [&copy](int request) {
        if (request == Dialog::kPauseOrResume)
            copy.facade.PauseOrResumeRecovery();
    });
    copy.facade.advanceRecovery(100, "a.jpg", kDestinationFull);
    ASSERT_TRUE(dialog.setNoMemeryViewHidden(kDestinationFull));
    dialog.continueButtonAction();
    EXPECT_FALSE(copy.facade.IsRecoveryPaused());
    // A second answer, as a prompt put up again by a late report would get.
    dialog.continueButtonAction();
    EXPECT_TRUE(copy.facade.IsRecoveryRunning());
    EXPECT_FALSE(copy.facade.IsRecoveryPaused());
}

TEST(RecoveryProgressDialog, StoppingForGoodEndsTheModalSessionBeforeTheDelegateHears) {
    for (auto press : {&Dialog::yesButtonAction, &Dialog::cancelButtonAction}) {
        Dialog dialog;
        bool runningWhenTold = true;
        QObject::connect(&dialog, &Dialog::stopButtonAction,
                         [&](int) { runningWhenTold = ModalRunner::isRunning(&dialog); });
        QTimer::singleShot(0, &dialog, [&] { (dialog.*press)(); });
        ModalRunner::runModalForWindow(&dialog);
        EXPECT_FALSE(runningWhenTold);
    }
}

}  // namespace
