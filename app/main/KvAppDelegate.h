#pragma once

// The application's delegate: follows media that come and go, checks for an
// update at start, opens the main window, carries the menus and runs the
// quit sequence. The menu bar sits in the title bar of the main window that
// was shown last. Main thread only.

#include <QAction>
#include <QMenuBar>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <vector>

#include "KvRootWindowController.h"
#include "KvShellWindows.h"
#include "KvSpyModule.h"

class KvUpdateCheck;

class KvAppDelegate : public QObject {
    Q_OBJECT

public:
    // How long the start waits for the update list before it opens the main window.
    static constexpr int kUpdateLimitMs = 10000;
    // How long quitting waits for a scan to stop.
    static constexpr int kStopLimitMs = 30000;

    explicit KvAppDelegate(KvShellWindows windows, QObject* parent = nullptr);
    ~KvAppDelegate() override;

    void applicationDidFinishLaunching();
    // Opens the main window, once per process.
    void runRootWindow();
    // Builds the menus with their titles.
    void awakeFromNib();
    // The quit item: an open dialog goes first (it fades out, then the quit
    // is asked again), then applicationShouldTerminate decides.
    void terminate();
    // True: quit now. A running scan is paused and the user asked first.
    bool applicationShouldTerminate();
    void alertEnded(int code);
    // Stops a running scan, waits for it with the event loop running, then
    // ends the process through the facade.
    void applicationWillTerminate();

    void aboutAction();
    void CheckUpAction();
    void ParticipateInCustomer();
    void helpTranslate();
    void onlineHelp();
    void contactUSAction();
    void supportCenterAction();

    // The first main window, which this delegate owns.
    KvRootWindowController* rootWindowCon() const { return rootWindowCon_; }
    // The main window that carries the menu bar: the one shown last.
    KvRootWindowController* menuWindow() const { return menuWindow_; }
    QMenuBar* menuBar() const { return menuBar_; }
    QAction* pInCustomer() const { return pInCustomer_; }
    QAction* quitItem() const { return quitItem_; }

protected:
    // Moves the menu bar to a main window as it is shown, and lends the quit
    // shortcut to dialogs as they are shown.
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The update check at start has decided (the main window is open unless
    // the update window is).
    void startChecked();

private:
    void updateCheckAtStart();
    void afterUpdateAnswer(bool newer);
    void showUpdateWindow();
    void waitForScanThenClose(int waitedMs);
    void placeMenuBar(KvRootWindowController* window);

    KvShellWindows windows_;
    KvSpyModule spy_;
    QPointer<KvRootWindowController> rootWindowCon_;
    QPointer<KvRootWindowController> menuWindow_;
    // Dies with the window that holds it when that window is destroyed; the
    // next main window shown gets a new one.
    QPointer<QMenuBar> menuBar_;
    QPointer<QAction> pInCustomer_;
    QPointer<QAction> quitItem_;
    KvUpdateCheck* updateCheck_ = nullptr;
    std::vector<QMetaObject::Connection> observers_;
    bool terminating_ = false;
};
