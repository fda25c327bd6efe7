#include <gtest/gtest.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "Alert.h"
#include "DiskVolumeNodeData.h"
#include "Fader.h"
#include "FakeFacade.h"
#include "KvAboutWindowController.h"
#include "KvAppDelegate.h"
#include "KvClock.h"
#include "KvDeletailWindowController.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvPublicUtilities.h"
#include "KvRootWindowReopen.h"
#include "KvUIDeviceData.h"
#include "ModalRunner.h"
#include "Tr.h"
#include "UpdateCheck.h"
#include "UserDefaults.h"

namespace {

// A scan that takes a while to stop, as a real one does.
class SlowStoppingFacade : public FakeFacade {
public:
    void StopScan(int discard) override {
        ++stopScanCount;
        QTimer::singleShot(300, [this, discard] { FakeFacade::StopScan(discard); });
    }
};

// Answers the quit alert, noting whether the scan was paused meanwhile.
struct QuitAlert {
    explicit QuitAlert(FakeFacade& facade, int answer) {
        Alert::setAnswerer([this, &facade, answer](const Alert& alert) {
            ++shown;
            pausedWhileAsking = facade.IsPause();
            icon = alert.iconName;
            return answer;
        });
    }
    ~QuitAlert() { Alert::setAnswerer({}); }
    int shown = 0;
    bool pausedWhileAsking = false;
    QString icon;
};

TEST(AppDelegateTest, QuittingDuringAScanAsksAndCancelResumesIt) {
    for (bool pausedByUser : {false, true}) {
        FakeFacade facade;
        ASSERT_TRUE(facade.DoScanWithDiskIndex(0, 0));
        if (pausedByUser)
            facade.PauseOrResumeScan();
        QuitAlert alert(facade, 0);
        KvAppDelegate delegate{KvShellWindows()};
        EXPECT_FALSE(delegate.applicationShouldTerminate());
        EXPECT_EQ(alert.shown, 1);
        EXPECT_TRUE(alert.pausedWhileAsking);
        EXPECT_EQ(alert.icon, "warning_b");
        EXPECT_TRUE(facade.IsScanRunning());
        EXPECT_FALSE(facade.IsPause()) << pausedByUser;
        EXPECT_EQ(facade.closeCount, 0);
    }
}

TEST(AppDelegateTest, QuittingWithoutAScanExportsAndEnds) {
    FakeFacade facade;
    int exports = 0;
    QObject context;
    KvNotificationCenter::defaultCenter()->observe(kvnote::kExportRsfFile, &context,
                                                   [&](const QVariant&) { ++exports; });
    KvAppDelegate delegate{KvShellWindows()};
    EXPECT_TRUE(delegate.applicationShouldTerminate());
    EXPECT_EQ(exports, 1);
}

TEST(AppDelegateTest, YesStopsTheScanAndEndsOnlyOnceItHasStopped) {
    SlowStoppingFacade facade;
    ASSERT_TRUE(facade.DoScanWithDiskIndex(0, 0));
    QuitAlert alert(facade, 1);
    KvAppDelegate delegate{KvShellWindows()};
    int ticks = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
    clock.start(20);

    EXPECT_FALSE(delegate.applicationShouldTerminate());
    EXPECT_EQ(facade.stopScanCount, 1);
    EXPECT_EQ(facade.closeCount, 0);
    QDeadlineTimer deadline(5000);
    while (facade.closeCount == 0 && !deadline.hasExpired())
        QTest::qWait(20);
    EXPECT_EQ(facade.closeCount, 1);
    EXPECT_FALSE(facade.IsScanRunning());
    // The windows went on being served while the scan stopped.
    EXPECT_GT(ticks, 5);
}

// The last check a day ago: the start asks no one.
void CheckedYesterday() {
    KvPublicUtilities::writeUpDataTimeStr(
        QDateTime::currentDateTime().addDays(-1).toString(QLatin1String(kCheckTimeFormat)));
}

TEST(AppDelegateTest, ClosingAWindowQuits) {
    FakeFacade facade;
    CheckedYesterday();
    KvAppDelegate delegate{KvShellWindows()};
    delegate.applicationDidFinishLaunching();
    KvNotificationCenter::defaultCenter()->post(kvnote::kAppWillTerminate);
    QTest::qWait(50);
    EXPECT_EQ(facade.closeCount, 1);
}

TEST(AppDelegateTest, NoCheckDueOpensTheMainWindowAtOnceWithItsMenus) {
    FakeFacade facade;
    CheckedYesterday();
    KvAppDelegate delegate{KvShellWindows()};
    delegate.applicationDidFinishLaunching();
    ASSERT_NE(delegate.rootWindowCon(), nullptr);
    EXPECT_TRUE(delegate.rootWindowCon()->isVisible());
    // In the middle of the screen, not at its corner.
    const QRect screen = delegate.rootWindowCon()->screen()->availableGeometry();
    EXPECT_LE((delegate.rootWindowCon()->geometry().center() - screen.center()).manhattanLength(),
              2);
    // Once per process.
    KvRootWindowController* first = delegate.rootWindowCon();
    delegate.runRootWindow();
    EXPECT_EQ(delegate.rootWindowCon(), first);

    ASSERT_NE(delegate.menuBar(), nullptr);
    QStringList titles;
    for (QAction* menu : delegate.menuBar()->actions()) {
        titles << menu->text();
        for (QAction* item : menu->menu()->actions())
            titles << item->text();
    }
    for (const char* key :
         {"MENU_WINDOW", "MENU_HELP", "MENU_CHECK_UPDTE", "MENU_PARTICIPATE", "MENU_HIDEN_SELF",
          "MENU_HIDEN_OTHER", "MENU_SHOW_ALL", "MENU_EXIT", "MENU_MAXIMIZE", "MENU_MINIMIZE",
          "MENU_ONLINE_HELP", "MENU_SUPPORT_CENTER"})
        EXPECT_TRUE(titles.contains(Tr(key))) << key;
    EXPECT_TRUE(titles.contains(Tr("MENU_ABOUT_NAME", Tr("WINDOW_TOP_TITLE"))));
}

TEST(AppDelegateTest, TheParticipateItemKeepsTheSetting) {
    FakeFacade facade;
    UserDefaults::setValue("Participate", true);
    KvAppDelegate delegate{KvShellWindows()};
    delegate.awakeFromNib();
    EXPECT_TRUE(delegate.pInCustomer()->isChecked());
    delegate.pInCustomer()->trigger();
    EXPECT_FALSE(UserDefaults::boolValue("Participate"));
    delegate.pInCustomer()->trigger();
    EXPECT_TRUE(UserDefaults::boolValue("Participate"));
}

// The menu item of `key` in the application menu.
// A saved result named on the command line is opened as the import button
// opens a chosen one: the wait window over the main window while it loads.
TEST(AppDelegateTest, ASavedResultNamedAtStartIsOpened) {
    FakeFacade facade;
    CheckedYesterday();
    const QString path = QStringLiteral("/results/card.Harbex");
    UserDefaults::setValue(QStringLiteral("rsfPath"), path);
    KvShellWindows windows;
    int resultsWindows = 0;
    windows.makeResultsWindow = [&] {
        ++resultsWindows;
        return std::make_unique<KvDeletailWindowController>();
    };
    QWidget* waitParent = nullptr;
    windows.runLoadWait = [&](QWidget* parent, const std::function<void()>& start) {
        waitParent = parent;
        start();
        return 0;
    };
    KvAppDelegate delegate{windows};
    delegate.applicationDidFinishLaunching();
    UserDefaults::setValue(QStringLiteral("rsfPath"), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return waitParent != nullptr; }, 2000));
    EXPECT_EQ(waitParent, delegate.rootWindowCon());
    EXPECT_EQ(resultsWindows, 1);
    EXPECT_EQ(facade.loadPath, path);
    // The load failed: the main window stays.
    EXPECT_TRUE(delegate.rootWindowCon()->isVisible());
}

QAction* ApplicationItem(const KvAppDelegate& delegate, const QString& text) {
    for (QAction* item : delegate.menuBar()->actions().first()->menu()->actions()) {
        if (item->text() == text)
            return item;
    }
    return nullptr;
}

TEST(AppDelegateTest, TheMenuBarMovesToAMainWindowOpenedFromTheResults) {
    FakeFacade facade;
    CheckedYesterday();
    QWidget* aboutParent = nullptr;
    KvShellWindows windows;
    windows.showAbout = [&](QWidget* parent) { aboutParent = parent; };
    KvAppDelegate delegate{windows};
    delegate.applicationDidFinishLaunching();
    QPointer<KvRootWindowController> first = delegate.rootWindowCon();
    ASSERT_TRUE(first);
    EXPECT_EQ(delegate.menuBar()->window(), first);

    // Off to the results window, then home to a new main window.
    first->hide();
    std::unique_ptr<KvRootWindowController> reopened(
        KvRootWindowReopen::open(windows, KvClock::system()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return reopened->isEnabled(); }));
    EXPECT_EQ(delegate.menuWindow(), reopened.get());
    EXPECT_EQ(delegate.menuBar()->window(), reopened.get());
    EXPECT_TRUE(delegate.menuBar()->isVisible());
    // The first one still owns the results window it opened.
    EXPECT_TRUE(first);

    // The items act on the window they stand in.
    QAction* about = ApplicationItem(delegate, Tr("MENU_ABOUT_NAME", Tr("WINDOW_TOP_TITLE")));
    ASSERT_NE(about, nullptr);
    about->trigger();
    EXPECT_EQ(aboutParent, reopened.get());
    ApplicationItem(delegate, Tr("MENU_EXIT"))->trigger();
    EXPECT_EQ(facade.closeCount, 1);
    EXPECT_FALSE(reopened->isVisible());

    // A main window destroyed with the menu bar in it: the next one shown
    // gets a new one.
    reopened.reset();
    EXPECT_EQ(delegate.menuBar(), nullptr);
    first->show();
    ASSERT_NE(delegate.menuBar(), nullptr);
    EXPECT_EQ(delegate.menuBar()->window(), first);
    EXPECT_NE(ApplicationItem(delegate, Tr("MENU_EXIT")), nullptr);
}

// Fading on for one test.
struct Fading {
    Fading() { Fader::setEnabled(true); }
    ~Fading() { Fader::setEnabled(false); }
};

TEST(AppDelegateTest, QuittingDuringADialogFadesItOutBeforeAnythingElse) {
    struct Case {
        bool scanning;
        int answer;  // to the stop question
        int closes;
    };
    for (const Case& test : {Case{false, 0, 1}, Case{true, 0, 0}, Case{true, 1, 1}}) {
        SCOPED_TRACE(testing::Message() << test.scanning << " " << test.answer);
        Fading on;
        FakeFacade facade;
        if (test.scanning) {
            ASSERT_TRUE(facade.DoScanWithDiskIndex(0, 0));
        }
        CheckedYesterday();
        KvAppDelegate delegate{KvShellWindows()};
        delegate.applicationDidFinishLaunching();
        KvAboutWindowController about(delegate.rootWindowCon());
        int asked = 0;
        bool dialogGoneWhenAsked = false;
        const struct Unanswer {
            ~Unanswer() { Alert::setAnswerer({}); }
        } unanswer;
        Alert::setAnswerer([&](const Alert&) {
            ++asked;
            dialogGoneWhenAsked = !about.isVisible();
            return test.answer;
        });
        bool carriesQuit = false;
        bool upAfterQuit = false;
        QTimer::singleShot(0, &about, [&] {
            // The dialog blocks the main window: the quit shortcut is its own too.
            carriesQuit = about.actions().contains(delegate.quitItem());
            delegate.quitItem()->trigger();
            upAfterQuit = about.isVisible() && ModalRunner::isRunning(&about);
        });
        ModalRunner::runModalForWindow(&about);
        EXPECT_TRUE(carriesQuit);
        EXPECT_TRUE(upAfterQuit);
        EXPECT_EQ(about.windowOpacity(), 0.0);
        EXPECT_FALSE(about.isVisible());
        // The quit goes on once the fade has ended.
        QTest::qWait(100);
        EXPECT_EQ(asked, test.scanning ? 1 : 0);
        EXPECT_EQ(dialogGoneWhenAsked, test.scanning);
        EXPECT_EQ(facade.closeCount, test.closes);
    }
}

// Quitting while the results window hides the main window: by the menu item
// or by the shortcut pressed in the results window, the window's own
// questions come first and their answers decide.
TEST(AppDelegateTest, QuitReachesTheApplicationFromTheResultsWindow) {
    struct Case {
        const char* name;
        bool shortcut;
        bool scanning;
        int answer;  // to the stop question, or to the save offer
        int closes;
    };
    const Case cases[] = {
        {"menu, stop the scan", false, true, 1, 1},
        {"shortcut, stop the scan", true, true, 1, 1},
        {"shortcut, keep scanning", true, true, 0, 0},
        {"shortcut, close without saving", true, false, -1, 1},
        {"menu, stay to save", false, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFacade facade;
        facade.tree = std::make_shared<SyntheticTree>(20, 10);
        CheckedYesterday();
        KvAppDelegate delegate{KvShellWindows()};
        delegate.applicationDidFinishLaunching();
        delegate.rootWindowCon()->hide();

        _DiskVolumeData record;
        record.bsdName = "sdb1";
        record.capacity = 64 << 20;
        record.diskIndex = 1;
        KvDeletailWindowController results;
        results.setSelectDiskVolumeData(std::make_shared<DiskVolumeNodeData>(record));
        results.getData();
        if (!c.scanning) {
            facade.finishScan();
            QCoreApplication::processEvents();
        }
        results.show();
        results.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&results));

        int asked = 0;
        const struct Unanswer {
            ~Unanswer() { Alert::setAnswerer({}); }
        } unanswer;
        Alert::setAnswerer([&](const Alert&) {
            ++asked;
            return c.answer;
        });
        if (c.shortcut) {
            QTest::keySequence(&results, delegate.quitItem()->shortcut());
        } else
            delegate.quitItem()->trigger();
        QTest::qWait(100);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(facade.closeCount, c.closes);
        EXPECT_EQ(results.isVisible(), c.closes == 0);
    }
}

}  // namespace
