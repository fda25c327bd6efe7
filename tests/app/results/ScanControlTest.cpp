#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

#include "Alert.h"
#include "DiskVolumeNodeData.h"
#include "EventWait.h"
#include "FakeClock.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "KvRootWindowController.h"
#include "KvSearchField.h"
#include "PrivateData.h"
#include "SavePanel.h"
#include "SyntheticTree.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

// The button's own "usable" flag, which its odd getter answers.
bool Usable(const TCImageButton* button) {
    return button->isDisabled();
}

std::vector<KvRootWindowController*> MainWindows() {
    std::vector<KvRootWindowController*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* root = qobject_cast<KvRootWindowController*>(widget))
            found.push_back(root);
    return found;
}

// The answers to the alerts and to the save panel, in order, and what was asked.
class ScriptedUser {
public:
    ScriptedUser() {
        Alert::setAnswerer([this](const Alert& alert) {
            asked.push_back(alert.message);
            if (answers.empty())
                return 0;
            const int answer = answers.front();
            answers.pop_front();
            return answer;
        });
        SavePanel::setAnswerer([this](const SavePanel&) {
            ++panels;
            return QString();
        });
    }
    ~ScriptedUser() {
        Alert::setAnswerer({});
        SavePanel::setAnswerer({});
    }

    std::deque<int> answers;
    std::vector<QString> asked;
    int panels = 0;
};

// A results window following a scan of a scripted facade on a hand-moved clock.
class ScanControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake.tree = std::make_shared<SyntheticTree>(30, 10);
        window.setClock(&clock);
        window.setSelectDiskVolumeData(FakeFacade::MakeDevice("Stick", 64 << 20, 1, 0, 1));
        window.setScanTypeNum(1);
        window.show();
        window.getData();
        fake.advanceScan(40);
        settle();
        ASSERT_TRUE(fake.IsScanRunning());
    }
    void TearDown() override {
        // A main window opened on the road home waits for its device list.
        for (KvRootWindowController* root : MainWindows()) {
            WaitFor([root] { return root->isEnabled(); });
            delete root;
        }
    }
    void settle() { QCoreApplication::processEvents(); }

    FakeFacade fake;
    FakeClock clock;
    ScriptedUser user;
    KvDeletailWindowController window;
};

TEST_F(ScanControlTest, PauseShowsContinueAndContinueScansOnWithoutTheMarks) {
    window.pauseButtonClick();
    EXPECT_EQ(fake.cleanCount, 0);
    EXPECT_TRUE(fake.IsPause());
    EXPECT_EQ(window.isPause, 1);
    EXPECT_EQ(window.isCanClick, 1);
    EXPECT_TRUE(window.pauseButton->isHidden());
    EXPECT_FALSE(window.continueScanButton->isHidden());
    EXPECT_TRUE(window.search->isEnabled());

    window.pauseButtonClick();
    EXPECT_FALSE(fake.IsPause());
    EXPECT_EQ(window.isPause, 0);
    EXPECT_FALSE(window.pauseButton->isHidden());
    EXPECT_TRUE(window.continueScanButton->isHidden());
    EXPECT_FALSE(window.search->isEnabled());
    EXPECT_EQ(fake.cleanCount, 1);
}

// Continuing drops the marks made while paused: by itself, or through the new
// search that clearing a search made while paused starts.
TEST_F(ScanControlTest, ContinuingDropsTheMarksUnlessClearingTheSearchStartedASearch) {
    struct Case {
        const char* name;
        QString searchedWhilePaused;  // empty: none
        int cleans;
        int unselects;
        std::vector<QString> searchesOnContinue;
    };
    const Case cases[] = {
        {"no search", QString(), 1, 0, {}},
        {"a search", QStringLiteral("jpg"), 0, 1, {QString()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.pauseButtonClick();
        if (!c.searchedWhilePaused.isEmpty()) {
            window.search->setText(c.searchedWhilePaused);
            ASSERT_EQ(window.doSearch(), 1);
            settle();
            settle();
        }
        SyntheticFileNode* marked = fake.tree->files().front();
        marked->SetCheck(CHECK_STATUS_CHECKED);
        const int cleans = fake.cleanCount;
        const int unselects = fake.unselectAllCount;
        const size_t searches = fake.searchKeys.size();

        window.pauseButtonClick();
        settle();
        settle();
        EXPECT_EQ(window.isPause, 0);
        EXPECT_EQ(fake.cleanCount - cleans, c.cleans);
        EXPECT_EQ(fake.unselectAllCount - unselects, c.unselects);
        EXPECT_EQ(std::vector<QString>(fake.searchKeys.begin() + static_cast<ptrdiff_t>(searches),
                                       fake.searchKeys.end()),
                  c.searchesOnContinue);
        EXPECT_TRUE(window.search->text().isEmpty());
        if (c.unselects == 1) {
            EXPECT_EQ(marked->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
        }
    }
}

// The other answer to the stop question goes back to where the user was.
TEST_F(ScanControlTest, KeepingOnScanningAfterTheStopQuestionRestoresTheUsersPause) {
    for (const bool pausedByUser : {false, true}) {
        SCOPED_TRACE(pausedByUser);
        if (pausedByUser)
            window.pauseButtonClick();
        user.answers = {0};
        window.stopButtonClick(window.stopButton);
        ASSERT_EQ(user.asked.size(), 1u);
        EXPECT_EQ(user.asked.back(), Tr("QOV_FOUR_SCAN_STOP_TITLE"));
        EXPECT_EQ(fake.IsPause(), pausedByUser);
        EXPECT_EQ(window.isPause, pausedByUser ? 1 : 0);
        EXPECT_TRUE(fake.stopScanFlags.empty());
        user.asked.clear();
    }
}

TEST_F(ScanControlTest, AConfirmedStopKeepsTheTreeAndEndsOnceTheScanHasStopped) {
    fake.stopLingers = true;
    user.answers = {1};
    window.stopButtonClick(window.stopButton);
    EXPECT_FALSE(Usable(window.stopButton));
    EXPECT_TRUE(fake.stopScanFlags.empty());

    clock.advance(500);
    EXPECT_EQ(fake.stopScanFlags, std::vector<int>{0});
    EXPECT_EQ(window.isCanClick, 0);
    // Polled every 1.5 s while the scan is still stopping.
    clock.advance(3000);
    settle();
    EXPECT_TRUE(window.selectFilesLabel->isHidden());

    fake.endStop();
    clock.advance(1500);
    settle();
    EXPECT_FALSE(window.selectFilesLabel->isHidden());
    EXPECT_TRUE(Usable(window.exportButton));
    // Only the deep-scan offer's 8 s close is left; then nothing ticks.
    clock.advance(8000);
    EXPECT_EQ(clock.activeTimers(), 0);
}

TEST_F(ScanControlTest, AConfirmedStopDropsTheMarksAndTheSearch) {
    window.pauseButtonClick();
    window.search->setText(QStringLiteral("doc"));
    ASSERT_EQ(window.doSearch(), 1);
    settle();
    settle();
    const int cleans = fake.cleanCount;
    user.answers = {1};
    window.stopButtonClick(window.stopButton);
    EXPECT_EQ(fake.cleanCount - cleans, 1);
    EXPECT_EQ(fake.searchKeys, (std::vector<QString>{QStringLiteral("doc"), QString()}));
    EXPECT_TRUE(window.search->text().isEmpty());
    EXPECT_FALSE(window.search->isEnabled());
}

TEST_F(ScanControlTest, GoingHomeKeepsTheRecentSearchesInThePrivateList) {
    PrivateData::setValue(QStringLiteral("SearchHistory"), QJsonArray());
    fake.finishScan();
    settle();
    window.searchField->recents().setEntries({QStringLiteral("mov"), QStringLiteral("doc")});
    window.bSave = 1;
    window.doBackHomeAction(1);
    EXPECT_EQ(window.isBackHome, 1);
    EXPECT_EQ(PrivateData::value(QStringLiteral("SearchHistory")).toArray(),
              QJsonArray({QStringLiteral("mov"), QStringLiteral("doc")}));
    PrivateData::setValue(QStringLiteral("SearchHistory"), QJsonArray());
}

// The deep scan starts with nothing checked and no folder chosen.
TEST_F(ScanControlTest, TheDeepScanRestartDropsTheCheckedFiles) {
    fake.finishScan();
    settle();
    SyntheticFileNode* marked = fake.tree->files().front();
    marked->SetCheck(CHECK_STATUS_CHECKED);
    const int unselects = fake.unselectAllCount;
    window.deepSrcanButtonAction();
    clock.advance(200);
    ASSERT_EQ(fake.scanRequests.size(), 2u);
    EXPECT_TRUE(fake.scanRequests.back().deep);
    EXPECT_EQ(fake.unselectAllCount - unselects, 1);
    EXPECT_EQ(marked->GetCheckedStatus(), CHECK_STATUS_UNCHECKED);
    EXPECT_EQ(window.bSave, 0);
}

TEST_F(ScanControlTest, GoingHomeDuringAScanDropsTheTreeOffersNoSaveAndOpensAMainWindow) {
    ASSERT_TRUE(window.getPorTimer);
    user.answers = {1};
    window.backButtonAction();
    EXPECT_EQ(user.asked, std::vector<QString>{Tr("QOV_FOUR_SCAN_BACKHOME_TITLE")});
    EXPECT_EQ(fake.stopScanFlags, std::vector<int>{1});
    EXPECT_EQ(window.isSelectBackHome, 1);
    settle();
    EXPECT_EQ(window.isBackHome, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(user.panels, 0);
    EXPECT_TRUE(window.arrList.empty());
    // Nothing runs on the closed window: only the way to the main window is left.
    EXPECT_FALSE(window.getPorTimer);
    EXPECT_EQ(clock.activeTimers(), 1);
    EXPECT_TRUE(MainWindows().empty());

    clock.advance(200);
    const std::vector<KvRootWindowController*> roots = MainWindows();
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0]->isNotFristLoad(), 1);
    EXPECT_TRUE(roots[0]->isVisible());
    EXPECT_TRUE(WaitFor([&] { return roots[0]->isEnabled(); }));
    EXPECT_EQ(fake.refreshCount, 1);

    // A second way home from the same window goes nowhere.
    window.doBackHomeAction(0);
    clock.advance(200);
    EXPECT_EQ(MainWindows().size(), 1u);
}

TEST_F(ScanControlTest, GoingHomeWaitsForTheEndOfAScanThatStopsSlowly) {
    fake.stopLingers = true;
    user.answers = {1};
    window.backButtonAction();
    settle();
    EXPECT_EQ(window.isBackHome, 0);
    EXPECT_TRUE(window.isVisible());

    // The end of the scan leads home, without the offer to save.
    fake.endStop();
    settle();
    EXPECT_EQ(window.isBackHome, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(user.asked.size(), 1u);
}

// The desktop search at the end of a scan is for a window that stays.
TEST_F(ScanControlTest, ADesktopScanLeftForHomeSearchesNothingAtItsEnd) {
    window.selectDesktop = 1;
    fake.stopLingers = true;
    user.answers = {1};
    window.backButtonAction();
    fake.endStop();
    settle();
    ASSERT_EQ(window.isBackHome, 1);
    clock.advance(300);
    settle();
    EXPECT_TRUE(fake.searchKeys.empty());
}

TEST_F(ScanControlTest, LeavingADesktopWindowJustAfterItsEndLeavesNothingTickingOnIt) {
    window.selectDesktop = 1;
    fake.finishScan();
    settle();
    window.bSave = 1;
    window.doBackHomeAction(1);
    ASSERT_EQ(window.isBackHome, 1);
    // Only the way to the main window is left.
    EXPECT_EQ(clock.activeTimers(), 1);
    clock.advance(300);
    settle();
    EXPECT_TRUE(fake.searchKeys.empty());
}

// Leaving a finished scan offers to save it, unless it was saved or loaded.
TEST_F(ScanControlTest, TheSaveOfferComesOnlyForAFinishedUnsavedScanOfThisWindow) {
    fake.finishScan();
    settle();
    QTemporaryDir folder;
    constexpr int kPanelCancelled = -1;
    struct Case {
        const char* name;
        int bSave;
        int isImport;
        int answer;
        int saveCode;  // the save's end code, or kPanelCancelled
        bool offered;
        bool leaves;
        int panels;
    };
    const Case cases[] = {
        {"stay", 0, 0, 0, kPanelCancelled, true, false, 0},
        {"leave without saving", 0, 0, -1, kPanelCancelled, true, true, 0},
        {"save first", 0, 0, 1, 0, true, true, 1},
        // The result is kept when the save did not happen.
        {"save first, panel cancelled", 0, 0, 1, kPanelCancelled, true, false, 1},
        {"save first, save failed", 0, 0, 1, 5, true, false, 1},
        {"saved", 1, 0, 0, kPanelCancelled, false, true, 0},
        {"loaded", 0, 1, 0, kPanelCancelled, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.bSave = c.bSave;
        window.isImport = c.isImport;
        window.isBackHome = 0;
        user.asked.clear();
        user.answers = {c.answer};
        int panels = 0;
        SavePanel::setAnswerer([&](const SavePanel&) {
            ++panels;
            if (c.saveCode == kPanelCancelled)
                return QString();
            QTimer::singleShot(0,
                               [&] { fake.finishSaveOrLoad(static_cast<uint64_t>(c.saveCode)); });
            return folder.filePath(QStringLiteral("offer.Harbex"));
        });

        EXPECT_EQ(window.SaveScanResult(), c.leaves ? 1 : 0);
        EXPECT_EQ(user.asked.empty(), !c.offered);
        if (c.offered) {
            EXPECT_EQ(user.asked[0], Tr("SAVE_SAME_DISK_WARNING"));
        }
        EXPECT_EQ(panels, c.panels);
    }
}

TEST_F(ScanControlTest, PauseJustAfterTheEndStopsWithoutATreeAndRunsTheEnd) {
    fake.finishScan();  // the notice is still on its way
    window.pauseButtonClick();
    EXPECT_EQ(fake.stopScanFlags, std::vector<int>{1});
    EXPECT_EQ(window.isPause, 0);
    EXPECT_FALSE(window.selectFilesLabel->isHidden());
    EXPECT_TRUE(window.pauseButton->isHidden());
}

// The save button saves through the wait window; only a save that succeeded
// marks the result saved and is remembered.
TEST_F(ScanControlTest, TheSaveButtonMarksTheResultSavedOnlyWhenTheSaveSucceeded) {
    fake.finishScan();
    settle();
    QTemporaryDir folder;
    for (const uint64_t code : {uint64_t{5}, uint64_t{0}}) {
        SCOPED_TRACE(code);
        const QString path = folder.filePath(QStringLiteral("r%1.Harbex").arg(code));
        SavePanel::setAnswerer([&](const SavePanel&) {
            // The save ends once the wait window runs.
            QTimer::singleShot(0, [&] { fake.finishSaveOrLoad(code); });
            return path;
        });
        window.exportButtonAction();
        EXPECT_EQ(fake.savePath, path);
        EXPECT_EQ(window.bSave, code == 0 ? 1 : 0);
        EXPECT_EQ(fake.plistSavePath, code == 0 ? path : QString());
    }
}

}  // namespace
