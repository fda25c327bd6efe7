#include "KvRootWindowReopen.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include <memory>

#include "KvClock.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvRootWindowController.h"
#include "KvUIController.h"
#include "KvUIFacade.h"

namespace KvRootWindowReopen {

namespace {

// Lives with the main window while it waits: the poll of a stopping scan and
// the observer of the ready notice.
class ReadyWait : public QObject {
public:
    ReadyWait(KvRootWindowController* root, KvClock& clock) : QObject(root), root_(root) {
        KvUIFacade& facade = KvUIFacade::current();
        if (!facade.IsScanRunning()) {
            refresh();
            return;
        }
        // The list's devices are released when it is built again: the scan
        // reading one ends first.
        facade.StopScan(1);
        poll_ = clock.start(kStopPollMs, true, [this] {
            if (KvUIFacade::current().IsScanRunning())
                return;
            poll_.reset();
            refresh();
        });
    }

private:
    void refresh() {
        KvNotificationCenter* center = KvNotificationCenter::defaultCenter();
        ready_ = center->observe(kvnote::kInitFinished, this, [this](const QVariant&) {
            QObject::disconnect(ready_);
            root_->setEnabled(true);
            deleteLater();
        });
        KvUIController::DoOperation(
            [center] {
                KvUIFacade::current().RefreshDeviceInfo();
                center->enqueuePost(kvnote::kInitFinished);
            },
            nullptr, QString(), false);
    }

    KvRootWindowController* root_;
    std::unique_ptr<KvClockTimer> poll_;
    QMetaObject::Connection ready_;
};

}  // namespace

KvRootWindowController* open(const KvShellWindows& windows, KvClock& clock) {
    auto* root = new KvRootWindowController(windows);
    root->setIsNotFristLoad(1);
    root->windowDidLoad();
    root->setEnabled(false);
    root->show();
    if (const QScreen* screen = root->screen())
        root->move(screen->availableGeometry().center() - root->rect().center());
    root->activateWindow();
    root->raise();
    new ReadyWait(root, clock);
    return root;
}

}  // namespace KvRootWindowReopen
