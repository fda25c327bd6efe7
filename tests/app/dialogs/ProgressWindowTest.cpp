#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <functional>
#include <vector>

#include "Alert.h"
#include "FakeFacade.h"
#include "KvDialogFading.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvProgressWindow.h"
#include "ModalRunner.h"
#include "SaveRestoreResult.h"
#include "Tr.h"

namespace {

// A save or load over the fake facade, with the window, its alerts and the
// main window's notice counted.
struct Wait {
    FakeFacade facade;
    KvProgressWindow window;
    QObject observer;
    int shownDetails = 0;
    std::vector<QString> alerts;

    explicit Wait(bool save) {
        window.setStrPostName(save ? kvnote::kQueryProgressInfo : kvnote::kNormalScanValue);
        window.setBSave(save);
        KvNotificationCenter::defaultCenter()->observe(kvnote::kShowDetailWindow, &observer,
                                                       [this](const QVariant&) { ++shownDetails; });
        Alert::setAnswerer([this](const Alert& alert) {
            alerts.push_back(alert.informativeText);
            return 1;
        });
    }
    ~Wait() { Alert::setAnswerer({}); }

    // Starts the work as the callers do and plays `work` inside the modal session.
    int run(std::function<void()> work) {
        const bool save = window.bSave();
        return window.runModal(nullptr, [&] {
            facade.RestorPostUIUpdate(window.strPostName(), save);
            facade.beginSaveOrRestoreNode(save ? 1 : 0, "/tmp/result.Harbex", QString());
            QTimer::singleShot(0, &window, work);
        });
    }
};

TEST(ProgressWindow, TheBarNeverMovesBack) {
    Wait wait(true);
    wait.facade.RestorPostUIUpdate(kvnote::kQueryProgressInfo, true);
    wait.facade.beginSaveOrRestoreNode(1, "/tmp/result.Harbex", QString());
    const auto advance = [&](uint64_t current, uint64_t total) {
        wait.facade.advanceSaveOrLoad(current, total);
        QCoreApplication::processEvents();
    };
    advance(10, 100);
    advance(5, 100);
    EXPECT_EQ(wait.window.progressValue(), 10);
    // Nothing to divide by: the count itself, times 100.
    advance(3, 0);
    EXPECT_EQ(wait.window.progressValue(), 300);
}

TEST(ProgressWindow, TheEndOfTheWorkDecidesTheResultTheAlertAndTheNotice) {
    struct Case {
        bool save;
        uint64_t code;
        int result;
        size_t alerts;
        int shownDetails;
    };
    const std::vector<Case> cases = {
        {false, 0, 1, 0, 1}, {false, 6, 1, 0, 1}, {false, 3, 0, 1, 0},
        {true, 0, 1, 0, 0},  {true, 6, 1, 0, 0},  {true, 3, 0, 1, 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << (test.save ? "save" : "load") << " code " << test.code);
        Wait wait(test.save);
        const int result = wait.run([&] {
            wait.facade.advanceSaveOrLoad(40, 100);
            wait.facade.finishSaveOrLoad(test.code);
        });
        EXPECT_EQ(result, test.result);
        EXPECT_EQ(wait.window.getErrorCode(), static_cast<int32_t>(test.code));
        EXPECT_EQ(wait.alerts.size(), test.alerts);
        EXPECT_EQ(wait.shownDetails, test.shownDetails);
        EXPECT_FALSE(wait.window.isVisible());
    }
}

// A load whose drive is not connected succeeds, to be looked through: the
// user is told first that its files cannot be read.
TEST(ProgressWindow, ALoadWhoseDriveIsNotConnectedSaysSoAndStillShowsTheResult) {
    struct Case {
        bool save;
        uint64_t code;
        const char* alert;  // null: none
        int result;
    };
    for (const Case& test : {Case{false, 0, "READ_RSF_DEVICE_MISSING", 1},
                             Case{false, SaveRestoreResult::kLoadDamaged, "READ_RSF_FAILED", 0},
                             Case{true, 0, nullptr, 1}}) {
        SCOPED_TRACE(testing::Message() << (test.save ? "save" : "load") << " code " << test.code);
        Wait wait(test.save);
        wait.facade.resultWithoutDevice = true;
        EXPECT_EQ(wait.run([&] { wait.facade.finishSaveOrLoad(test.code); }), test.result);
        ASSERT_EQ(wait.alerts.size(), test.alert != nullptr ? 1u : 0u);
        if (test.alert != nullptr) {
            EXPECT_EQ(wait.alerts.front(), Tr(test.alert));
        }
        EXPECT_EQ(wait.shownDetails, !test.save && test.result == 1 ? 1 : 0);
    }
}

TEST(ProgressWindow, ClosingEarlyStopsTheWorkAndWaitsForItsEnd) {
    for (bool save : {false, true}) {
        SCOPED_TRACE(save ? "save" : "load");
        Wait wait(save);
        bool stillWaiting = false;
        const int result = wait.run([&] {
            wait.facade.advanceSaveOrLoad(40, 100);
            wait.window.close();
            // What the caller fills is still the work's until it has ended.
            stillWaiting = ModalRunner::isRunning(&wait.window);
            EXPECT_EQ(wait.facade.saveOrLoadStops, std::vector<bool>{save});
            wait.window.close();
            EXPECT_EQ(wait.facade.saveOrLoadStops.size(), 1u);
            // A load that ran to its end regardless is still not shown.
            wait.facade.finishSaveOrLoad(0);
        });
        EXPECT_TRUE(stillWaiting);
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(wait.alerts.empty());
        EXPECT_EQ(wait.shownDetails, 0);
    }
}

TEST(ProgressWindow, QuittingStopsTheWorkAndQuitsOnlyOnceItHasEnded) {
    for (bool save : {false, true}) {
        SCOPED_TRACE(save ? "save" : "load");
        Wait wait(save);
        int quits = 0;
        bool answered = true;
        const int result = wait.run([&] {
            wait.facade.advanceSaveOrLoad(40, 100);
            answered = wait.window.fading()->applicationShouldTerminate([&] { ++quits; });
            EXPECT_EQ(wait.facade.saveOrLoadStops, std::vector<bool>{save});
            // The caller may free what the work fills only after its end.
            EXPECT_TRUE(ModalRunner::isRunning(&wait.window));
            EXPECT_EQ(quits, 0);
            wait.facade.finishSaveOrLoad(0);
        });
        EXPECT_FALSE(answered);
        EXPECT_EQ(quits, 1);
        EXPECT_EQ(result, 0);
        EXPECT_TRUE(wait.alerts.empty());
        EXPECT_EQ(wait.shownDetails, 0);
    }
}

TEST(ProgressWindow, TheLoadWaitReportsTheLoadsOutcome) {
    FakeFacade facade;
    const int result = RunLoadWait(nullptr, [&] {
        facade.RestorPostUIUpdate(kvnote::kNormalScanValue, false);
        facade.beginSaveOrRestoreNode(0, "/tmp/result.Harbex", QString());
        QTimer::singleShot(0, [&] { facade.finishSaveOrLoad(0); });
    });
    EXPECT_EQ(result, 1);
}

}  // namespace
