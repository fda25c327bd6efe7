#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "Alert.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "KvProgressView.h"
#include "KvScanEndSaveWindowController.h"
#include "KvScanNotEndSaveWindowController.h"
#include "KvShowScanProgressWindowController.h"
#include "ModalRunner.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

// The copy reports a full destination (the bridge pauses it).
constexpr int64_t kDestinationFull = 0x0102000000000D03;
// Any other failure of one file.
constexpr int64_t kReadFailed = 0x0102000000000001;

class RecoveryWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        Alert::setAnswerer([this](const Alert& alert) {
            alerts.push_back(alert.message);
            informativeTexts.push_back(alert.informativeText);
            return nextAnswer;
        });
        window = std::make_unique<KvDeletailWindowController>();
        window->setNotification();
        window->recoveryEnvironment.writable = [this](const QString&) { return writable; };
        window->recoveryEnvironment.onScannedDevice = [this](const QString&) { return sameDevice; };
        window->recoveryEnvironment.freeBytes = [this](const QString&) { return freeBytes; };
        window->selectedFileSize = 1000;
        facade.recoveryTotal = 1000;
    }
    void TearDown() override {
        window.reset();
        Alert::setAnswerer({});
    }

    // One step of a play: `act` runs once `ready` holds.
    struct Step {
        template <typename Act>
        Step(Act act) : ready([] { return true; }), act(std::move(act)) {}
        Step(std::function<bool()> ready, std::function<void()> act)
            : ready(std::move(ready)), act(std::move(act)) {}
        std::function<bool()> ready;
        std::function<void()> act;
    };

    // Runs `steps` one after the other from the event loop, whichever modal
    // session is running, and waits until the last has run. The conditions
    // are asked from the timer, never waited for inside a step: a session
    // opened while a step waited would keep that step (and the play) from
    // going on. A run that hangs has its sessions ended so the test fails
    // instead of waiting for ever.
    void play(std::vector<Step> steps) {
        size_t next = 0;
        QElapsedTimer clock;
        clock.start();
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (clock.elapsed() > 10000) {
                ADD_FAILURE() << "stuck before step " << next;
                next = steps.size();
                while (ModalRunner::depth() > 0)
                    ModalRunner::stopModal();
                return;
            }
            if (next < steps.size() && steps[next].ready())
                steps[next++].act();
        });
        timer.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return next == steps.size(); }, 15000));
        QCoreApplication::processEvents();
    }
    KvShowScanProgressWindowController* dialog() const { return window->recoveryProgressWindow; }

    FakeFacade facade;
    std::unique_ptr<KvDeletailWindowController> window;
    std::vector<QString> alerts;
    std::vector<QString> informativeTexts;
    int nextAnswer = 1;
    bool writable = true;
    bool sameDevice = false;
    int64_t freeBytes = 1 << 20;
};

TEST_F(RecoveryWindowTest, FolderChecksDecideWhetherTheCopyStarts) {
    struct Case {
        bool writable;
        int64_t freeBytes;
        int answer;
        const char* alert;  // null: none
        bool starts;
    };
    const Case cases[] = {
        {false, 1 << 20, 1, "QOV_FOUR_RECOVERY_NO_COMPETENCE_TITLE", false},
        {true, 1050, 1, "QOV_FOUR_RECOVERY_NO_SPACE_TITLE", false},
        // The no-space alert's alternate answer recovers all the same.
        {true, 1050, 0, "QOV_FOUR_RECOVERY_NO_SPACE_TITLE", true},
        {true, 1051, 1, nullptr, true},
    };
    for (const Case& c : cases) {
        alerts.clear();
        facade.recoveryPath.clear();
        writable = c.writable;
        freeBytes = c.freeBytes;
        nextAnswer = c.answer;
        window->chooserEnded(QDialog::Accepted, "/media/dest");
        EXPECT_EQ(alerts.size(), c.alert != nullptr ? 1u : 0u);
        if (c.alert != nullptr && !alerts.empty()) {
            EXPECT_EQ(alerts[0], Tr(c.alert));
        }
        EXPECT_EQ(facade.recoveryPath == "/media/dest", c.starts) << c.freeBytes;
        EXPECT_TRUE(window->recovertyButton->isDisabled() /* usable */);
        facade.finishRecovery();
        window->isFinishRecovery = 1;
    }
}

TEST_F(RecoveryWindowTest, CancelKeepsTheFolderAndRemembersTheChooserFrame) {
    window->recoverySavePathStr = "/earlier";
    window->recoveryButtonClick();
    ASSERT_TRUE(window->panel);
    EXPECT_FALSE(window->recovertyButton->isDisabled() /* usable */);
    const QRect frame = window->panel->geometry();
    window->panel->reject();
    EXPECT_EQ(window->recoverySavePathStr, "/earlier");
    EXPECT_EQ(window->rectNew, frame);
    EXPECT_TRUE(window->recovertyButton->isDisabled() /* usable */);
    EXPECT_TRUE(facade.recoveryPath.isEmpty());
}

TEST_F(RecoveryWindowTest, ChoosingAFolderWithThePanelStartsTheCopy) {
    QTemporaryDir folder;
    window->recoveryButtonClick();
    window->panel->setDirectory(folder.path());
    window->panel->selectFile(folder.path());
    static_cast<QDialog*>(window->panel.data())->accept();
    EXPECT_EQ(facade.recoveryPath, folder.path());
}

TEST_F(RecoveryWindowTest, SameDeviceChoosesAgainLaterOrRecoversThere) {
    sameDevice = true;
    nextAnswer = 1;
    window->chooserEnded(QDialog::Accepted, "/scanned/dest");
    EXPECT_TRUE(facade.recoveryPath.isEmpty());
    EXPECT_FALSE(window->panel);
    QTest::qWait(200);
    EXPECT_FALSE(window->panel);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->panel.isNull(); }, 1000));
    window->panel->reject();

    nextAnswer = 0;
    window->chooserEnded(QDialog::Accepted, "/scanned/dest");
    EXPECT_EQ(facade.recoveryPath, "/scanned/dest");
}

TEST_F(RecoveryWindowTest, ARefusedStartSaysSoAndLeavesRecoverUsable) {
    facade.recoveryStartCode = 0x0102052500000003;
    window->recovertyButton->setButtonEnabled(false);
    window->recoverySavePathStr = "/media/dest";
    window->startRecovery();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], Tr("QOV_FOUR_RECOVERY_NOT_STARTED_TITLE"));
    EXPECT_TRUE(window->recovertyButton->isDisabled() /* usable */);
    EXPECT_EQ(window->isBeginRecovery, 0);
}

TEST_F(RecoveryWindowTest, ProgressAndTheFullDestinationFace) {
    window->recoverySavePathStr = "/media/dest";
    window->isRecoveryEndSHowWindow = 1;
    window->startRecovery();
    QPointer<KvShowScanProgressWindowController> shown;
    play({
        [&] { facade.advanceRecovery(0, "a.jpg"); },
        {[&] { return dialog() != nullptr && ModalRunner::isRunning(dialog()); },
         [&] {
             shown = dialog();
             ASSERT_TRUE(shown);
             EXPECT_TRUE(ModalRunner::isRunning(shown));
             EXPECT_EQ(shown->progressValue(), 0.0);
             facade.advanceRecovery(250, "b.jpg", kReadFailed);
         }},
        {[&] { return shown->progressValue() > 0; },
         [&] {
             // Another failure is counted and the copy goes on.
             EXPECT_TRUE(shown->noMemeryView()->isHidden());
             EXPECT_DOUBLE_EQ(shown->progressValue(), 25.0);
             facade.advanceRecovery(500, "c.jpg", kDestinationFull);
         }},
        {[&] { return !shown->noMemeryView()->isHidden(); },
         [&] {
             shown->continueButtonAction();
             EXPECT_TRUE(facade.IsRecoveryRunning());
             EXPECT_FALSE(facade.IsRecoveryPaused());
             facade.advanceRecovery(750, "d.jpg");
         }},
        {[&] { return shown->progressValue() == 75.0; }, [] {}},
        // The last notice carries an error: the end is handled all the same.
        [&] { facade.finishRecovery(kReadFailed); },
        {[&] { return window->scanEndSaveWC && ModalRunner::isRunning(window->scanEndSaveWC); },
         [&] {
             EXPECT_FALSE(dialog());
             ASSERT_TRUE(window->scanEndSaveWC);
             EXPECT_TRUE(ModalRunner::isRunning(window->scanEndSaveWC));
             EXPECT_EQ(window->scanEndSaveWC->savePathStr(), "/media/dest");
             window->scanEndSaveWC->okButtonAction();
         }},
    });
    EXPECT_EQ(ModalRunner::depth(), 0);
    // Destroyed once its run had returned.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(shown.isNull());
}

TEST_F(RecoveryWindowTest, StopShowsOnlyTheStoppedWindowAndLateNoticesChangeNothing) {
    window->recoverySavePathStr = "/media/dest";
    window->isRecoveryEndSHowWindow = 1;
    window->startRecovery();
    play({
        [&] { facade.advanceRecovery(100, "a.jpg"); },
        {[&] { return dialog() != nullptr && ModalRunner::isRunning(dialog()); },
         [&] {
             ASSERT_TRUE(dialog());
             dialog()->stopProgressButtonAction();
             EXPECT_TRUE(facade.IsRecoveryPaused());
             dialog()->yesButtonAction();
         }},
        {[&] {
             return window->scanNotEndSaceWC && ModalRunner::isRunning(window->scanNotEndSaceWC);
         },
         [&] {
             ASSERT_TRUE(window->scanNotEndSaceWC);
             EXPECT_TRUE(ModalRunner::isRunning(window->scanNotEndSaceWC));
             EXPECT_FALSE(facade.IsRecoveryRunning());
             // The copy's own last notice comes while the stopped window shows.
             facade.finishRecovery();
         }},
        [&] {
            EXPECT_FALSE(window->scanEndSaveWC);
            EXPECT_FALSE(dialog());
            window->scanNotEndSaceWC->okButtonAction();
        },
    });
    EXPECT_EQ(ModalRunner::depth(), 0);
    EXPECT_FALSE(window->scanEndSaveWC);
    EXPECT_FALSE(dialog());
}

TEST_F(RecoveryWindowTest, FailedFilesAreCountedInAnAlertBeforeTheFinishedWindow) {
    window->recoverySavePathStr = "/media/dest";
    window->isRecoveryEndSHowWindow = 1;
    window->startRecovery();
    facade.recoveryCounts = {5, 1, 2, 1};
    play({
        [&] { facade.advanceRecovery(100, "a.jpg"); },
        {[&] { return dialog() != nullptr && ModalRunner::isRunning(dialog()); },
         [&] { facade.finishRecovery(); }},
        {[&] { return window->scanEndSaveWC && ModalRunner::isRunning(window->scanEndSaveWC); },
         [&] {
             ASSERT_TRUE(window->scanEndSaveWC);
             window->scanEndSaveWC->okButtonAction();
         }},
    });
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], Tr("QOV_FOUR_RECOVERY_FAILED_TITLE"));
}

TEST_F(RecoveryWindowTest, ARecoveryOverBeforeItsFirstNoticeShowsTheEndOnly) {
    window->recoverySavePathStr = "/media/dest";
    window->isRecoveryEndSHowWindow = 1;
    window->startRecovery();
    facade.recoveryCounts = {0, 0, 3, 0};
    play({[&] { facade.finishRecovery(); }, {[&] { return !alerts.empty(); }, [] {}}});
    // Nothing was copied: the alert says so and no finished window opens.
    EXPECT_EQ(alerts.size(), 1u);
    EXPECT_FALSE(window->scanEndSaveWC);
    EXPECT_FALSE(dialog());
    EXPECT_EQ(ModalRunner::depth(), 0);
}

// A saved result whose drive is not connected cannot be copied from: the
// Recover button says so instead of asking for a folder.
TEST_F(RecoveryWindowTest, WithoutTheDeviceRecoveryIsRefusedWithTheReason) {
    facade.resultWithoutDevice = true;
    window->recoveryButtonClick();
    EXPECT_EQ(alerts, std::vector<QString>{Tr("QOV_FOUR_DEVICE_MISSING_TITLE")});
    EXPECT_FALSE(window->panel);
}

// Files copied only in part are named as such wherever the end counts the
// copied files: never passed off as whole ones.
TEST_F(RecoveryWindowTest, PartlyCopiedFilesAreNamedAtTheEnd) {
    struct Case {
        KvRecoveryCounts counts;
        const char* title;  // of the alert; null: none
        QString text;
        QString finishedNote;
    };
    const Case cases[] = {
        {{3, 0, 0, 0}, nullptr, {}, Tr("QOV_FOUR_RECOVER_END_NODE")},
        {{4, 2, 0, 0},
         "QOV_FOUR_RECOVERY_PARTLY_TITLE",
         Tr("QOV_FOUR_RECOVERY_PARTLY_NODE", "6", "2"),
         Tr("QOV_FOUR_RECOVER_END_PART_NODE", "2")},
        {{5, 1, 2, 1},
         "QOV_FOUR_RECOVERY_FAILED_TITLE",
         Tr("QOV_FOUR_RECOVERY_FAILED_NODE", "3", "9") + "\n" +
             Tr("QOV_FOUR_RECOVERY_PARTLY_NODE", "6", "1"),
         Tr("QOV_FOUR_RECOVER_END_PART_NODE", "1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        alerts.clear();
        informativeTexts.clear();
        facade.recoveryCounts = c.counts;
        window->recoverySavePathStr = "/media/dest";
        window->isRecoveryEndSHowWindow = 1;
        window->startRecovery();
        QString note;
        play({
            [&] { facade.advanceRecovery(100, "a.jpg"); },
            {[&] { return dialog() != nullptr && ModalRunner::isRunning(dialog()); },
             [&] { facade.finishRecovery(); }},
            {[&] { return window->scanEndSaveWC && ModalRunner::isRunning(window->scanEndSaveWC); },
             [&] {
                 note = window->scanEndSaveWC->recoveryEndNode()->text();
                 window->scanEndSaveWC->okButtonAction();
             }},
        });
        if (c.title == nullptr) {
            EXPECT_TRUE(alerts.empty());
        } else {
            EXPECT_EQ(alerts, std::vector<QString>{Tr(c.title)});
            EXPECT_EQ(informativeTexts, std::vector<QString>{c.text});
        }
        EXPECT_EQ(note, c.finishedNote);
    }
}

TEST_F(RecoveryWindowTest, AStoppedRecoveryNamesItsPartlyCopiedFiles) {
    facade.recoveryCounts = {3, 2, 0, 0};
    window->recoverySavePathStr = "/media/dest";
    QString note;
    play({
        // Opened from the event loop, as the stop's end opens it.
        [&] { QTimer::singleShot(0, window.get(), [&] { window->showRecoveryNotEndWindow(); }); },
        {[&] {
             return window->scanNotEndSaceWC && ModalRunner::isRunning(window->scanNotEndSaceWC);
         },
         [&] {
             note = window->scanNotEndSaceWC->showRecoveryNoteLabel()->text();
             window->scanNotEndSaceWC->okButtonAction();
         }},
    });
    EXPECT_EQ(note, Tr("QOV_FOUR_RECOVER_NOTEND_PART_NODE",
                       QString::number(facade.GetRecoveridedFiles()), "2"));
}

}  // namespace
