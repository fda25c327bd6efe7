#pragma once

// The application's delegate: follows media that come and go, checks for an
// update at start, opens the main window, carries the menus and runs the
// quit sequence. Main thread only.

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

#include "KvRootWindowController.h"
#include "KvShellWindows.h"
#include "KvSpyModule.h"

class KvUpdateCheck;
class QAction;
class QMenuBar;

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

    KvRootWindowController* rootWindowCon() const { return rootWindowCon_; }
    QMenuBar* menuBar() const { return menuBar_.get(); }
    QAction* pInCustomer() const { return pInCustomer_; }

signals:
    // The update check at start has decided (the main window is open unless
    // the update window is).
    void startChecked();

private:
    void updateCheckAtStart();
    void afterUpdateAnswer(bool newer);
    void showUpdateWindow();
    void waitForScanThenClose(int waitedMs);

    KvShellWindows windows_;
    KvSpyModule spy_;
    QPointer<KvRootWindowController> rootWindowCon_;
    std::unique_ptr<QMenuBar> menuBar_;
    QAction* pInCustomer_ = nullptr;
    KvUpdateCheck* updateCheck_ = nullptr;
    std::vector<QMetaObject::Connection> observers_;
    bool terminating_ = false;
};
