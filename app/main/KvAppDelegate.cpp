#include "KvAppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QMenuBar>
#include <QProxyStyle>
#include <QTimer>
#include <QUrl>

#include "Alert.h"
#include "DialogPlacement.h"
#include "KvDeviceMonitor.h"
#include "KvDialogFading.h"
#include "KvLinkUrl.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvPublicUtilities.h"
#include "KvRootWindowController.h"
#include "KvUIFacade.h"
#include "PrivateData.h"
#include "ScanQuestion.h"
#include "Tr.h"
#include "UpdateCheck.h"
#include "UserDefaults.h"

namespace {

constexpr int kStopPollMs = 100;

// Tool tips show at once.
class ImmediateToolTips : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

void OpenLink(const char* key) {
    QDesktopServices::openUrl(QUrl(KvLinkUrl::GetUrl(QString::fromLatin1(key))));
}

KvDialogFading* FadingOf(const QWidget* window) {
    return window->findChild<KvDialogFading*>(QString(), Qt::FindDirectChildrenOnly);
}

// The open dialog, the modal one first; null when none is open.
KvDialogFading* DialogInFront() {
    if (const QWidget* modal = QApplication::activeModalWidget()) {
        if (KvDialogFading* fading = FadingOf(modal))
            return fading;
    }
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            if (KvDialogFading* fading = FadingOf(window))
                return fading;
        }
    }
    return nullptr;
}

// The results window on screen; null when none is.
KvDeletailWindow* ResultsWindowShown() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        if (auto* results = dynamic_cast<KvDeletailWindow*>(window))
            return results;
    }
    return nullptr;
}

}  // namespace

KvAppDelegate::KvAppDelegate(KvShellWindows windows, QObject* parent)
    : QObject(parent), windows_(std::move(windows)), spy_(QCoreApplication::applicationDirPath()) {}

KvAppDelegate::~KvAppDelegate() {
    for (const QMetaObject::Connection& observer : observers_)
        QObject::disconnect(observer);
    // The menu bar sits in a main window's title bar: it goes first.
    delete menuBar_;
    delete rootWindowCon_;
}

void KvAppDelegate::applicationDidFinishLaunching() {
    observers_.push_back(KvNotificationCenter::defaultCenter()->observe(
        kvnote::kAppWillTerminate, this, [this](const QVariant&) { applicationWillTerminate(); }));
    QApplication::setStyle(new ImmediateToolTips);
    qApp->installEventFilter(this);
    // Media that come and go refresh the device page and warn the results window.
    USBNotifier_init();
    awakeFromNib();
    updateCheckAtStart();
}

void KvAppDelegate::updateCheckAtStart() {
    const QDateTime now = QDateTime::currentDateTime();
    const UpdateDue due = IsUpdateCheckDue(KvPublicUtilities::getUpDataTimeStr(), now);
    if (due.firstStart)
        UserDefaults::setValue(QStringLiteral("Participate"), true);
    if (!due.due) {
        afterUpdateAnswer(false);
        return;
    }
    // Renewed first: an unreachable list is not asked again for a week.
    KvPublicUtilities::writeUpDataTimeStr(now.toString(QLatin1String(kCheckTimeFormat)));
    updateCheck_ = new KvUpdateCheck(this);
    connect(updateCheck_, &KvUpdateCheck::finished, this, &KvAppDelegate::afterUpdateAnswer);
    updateCheck_->start(KvLinkUrl::GetUrl(QStringLiteral("IniURL")),
                        PrivateData::value(QStringLiteral("VersionCheck")).toInteger(),
                        kUpdateLimitMs);
}

void KvAppDelegate::afterUpdateAnswer(bool newer) {
    if (updateCheck_ != nullptr) {
        updateCheck_->deleteLater();
        updateCheck_ = nullptr;
    }
    if (!newer) {
        runRootWindow();
        emit startChecked();
        return;
    }
    KvPublicUtilities::isCanBeUseNetWork(this, [this](bool usable) {
        if (usable)
            showUpdateWindow();
        else
            runRootWindow();
        emit startChecked();
    });
}

void KvAppDelegate::showUpdateWindow() {
    if (!windows_.runUpdateWindow) {
        runRootWindow();
        return;
    }
    // The main window opens when the update window closes.
    windows_.runUpdateWindow([this] { runRootWindow(); });
}

void KvAppDelegate::runRootWindow() {
    if (rootWindowCon_)
        return;
    rootWindowCon_ = new KvRootWindowController(windows_);
    const QString saved = UserDefaults::value(QStringLiteral("rsfPath")).toString();
    if (!saved.isEmpty())
        rootWindowCon_->SetImportPath(saved);
    rootWindowCon_->windowDidLoad();
    placeMenuBar(rootWindowCon_);
    CenterOnScreen(rootWindowCon_);
    rootWindowCon_->show();
    rootWindowCon_->activateWindow();
    rootWindowCon_->raise();
    // A saved result named on the command line opens once the window is up.
    if (!saved.isEmpty()) {
        QTimer::singleShot(0, rootWindowCon_.data(), [window = rootWindowCon_.data(), saved] {
            window->importSavedResult(saved);
        });
    }
}

void KvAppDelegate::placeMenuBar(KvRootWindowController* window) {
    if (menuBar_ && menuWindow_ == window)
        return;
    awakeFromNib();
    // The windows shown before keep what they own; only the menu bar moves.
    menuBar_->setParent(window->titleBarView());
    menuBar_->setGeometry(400, 13, 400, 24);
    menuBar_->show();
    menuWindow_ = window;
}

bool KvAppDelegate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* window = static_cast<QWidget*>(watched);
        if (auto* root = qobject_cast<KvRootWindowController*>(window)) {
            placeMenuBar(root);
        } else if (window->isWindow() && quitItem_ &&
                   (FadingOf(window) != nullptr || dynamic_cast<KvDeletailWindow*>(window))) {
            // A dialog blocks the main window and its menus, and the results
            // window hides it: the quit shortcut works from them too.
            window->addAction(quitItem_);
        }
    }
    return QObject::eventFilter(watched, event);
}

void KvAppDelegate::awakeFromNib() {
    if (menuBar_)
        return;
    menuBar_ = new QMenuBar;
    QMenu* application = menuBar_->addMenu(Tr("WINDOW_TOP_TITLE"));
    auto add = [this](QMenu* menu, const char* key, void (KvAppDelegate::*action)()) {
        QAction* item = menu->addAction(Tr(key));
        if (action != nullptr)
            connect(item, &QAction::triggered, this, action);
        return item;
    };
    QAction* about = application->addAction(Tr("MENU_ABOUT_NAME", Tr("WINDOW_TOP_TITLE")));
    connect(about, &QAction::triggered, this, &KvAppDelegate::aboutAction);
    add(application, "MENU_CHECK_UPDTE", &KvAppDelegate::CheckUpAction);
    pInCustomer_ = add(application, "MENU_PARTICIPATE", &KvAppDelegate::ParticipateInCustomer);
    pInCustomer_->setCheckable(true);
    pInCustomer_->setChecked(UserDefaults::boolValue(QStringLiteral("Participate")));
    application->addSeparator();
    QAction* hideSelf = add(application, "MENU_HIDEN_SELF", nullptr);
    connect(hideSelf, &QAction::triggered, this, [] {
        for (QWidget* window : QApplication::topLevelWidgets())
            window->showMinimized();
    });
    // The desktop keeps other programs' windows to itself.
    add(application, "MENU_HIDEN_OTHER", nullptr)->setEnabled(false);
    QAction* showAll = add(application, "MENU_SHOW_ALL", nullptr);
    connect(showAll, &QAction::triggered, this, [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isMinimized())
                window->showNormal();
        }
    });
    application->addSeparator();
    quitItem_ = add(application, "MENU_EXIT", &KvAppDelegate::terminate);
    // Some desktops name no standard quit key: Ctrl+Q then, as is usual.
    const QKeySequence standardQuit(QKeySequence::Quit);
    quitItem_->setShortcut(standardQuit.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Q)
                                                  : standardQuit);

    QMenu* window = menuBar_->addMenu(Tr("MENU_WINDOW"));
    QAction* minimize = window->addAction(Tr("MENU_MINIMIZE"));
    connect(minimize, &QAction::triggered, this, [] {
        if (QWidget* active = QApplication::activeWindow())
            active->showMinimized();
    });
    QAction* maximize = window->addAction(Tr("MENU_MAXIMIZE"));
    connect(maximize, &QAction::triggered, this, [] {
        if (QWidget* active = QApplication::activeWindow())
            active->isMaximized() ? active->showNormal() : active->showMaximized();
    });

    QMenu* help = menuBar_->addMenu(Tr("MENU_HELP"));
    add(help, "MENU_ONLINE_HELP", &KvAppDelegate::onlineHelp);
    add(help, "MENU_SUPPORT_CENTER", &KvAppDelegate::supportCenterAction);
}

void KvAppDelegate::aboutAction() {
    if (windows_.showAbout)
        windows_.showAbout(menuWindow_);
}

void KvAppDelegate::CheckUpAction() {
    if (windows_.runUpdateWindow)
        windows_.runUpdateWindow({});
}

void KvAppDelegate::ParticipateInCustomer() {
    const bool on = pInCustomer_->isChecked();
    UserDefaults::setValue(QStringLiteral("Participate"), on);
}

void KvAppDelegate::helpTranslate() {
    OpenLink("Translate");
}

void KvAppDelegate::onlineHelp() {
    OpenLink("OnlineHelp");
}

void KvAppDelegate::contactUSAction() {
    OpenLink("OnlineHelp");
}

void KvAppDelegate::supportCenterAction() {
    OpenLink("SupportTeam");
}

void KvAppDelegate::terminate() {
    if (KvDialogFading* dialog = DialogInFront()) {
        QPointer<KvAppDelegate> self(this);
        const bool now = dialog->applicationShouldTerminate([self] {
            // Asked again once the dialog's own modal run has returned.
            if (self)
                QMetaObject::invokeMethod(self, &KvAppDelegate::terminate, Qt::QueuedConnection);
        });
        if (!now)
            return;
    }
    // The results window asks its own questions; its close ends the program.
    if (KvDeletailWindow* results = ResultsWindowShown()) {
        results->closeWindow();
        return;
    }
    if (applicationShouldTerminate())
        applicationWillTerminate();
}

bool KvAppDelegate::applicationShouldTerminate() {
    KvUIFacade& facade = KvUIFacade::current();
    if (!facade.IsScanRunning()) {
        KvNotificationCenter::defaultCenter()->post(kvnote::kExportRsfFile);
        return true;
    }
    Alert alert = ScanStopAlert();
    alert.iconName = QStringLiteral("warning_b");
    alertEnded(AskWithScanPaused(alert, nullptr, facade.IsPause()));
    return false;
}

void KvAppDelegate::alertEnded(int code) {
    if (code != 0) {
        applicationWillTerminate();
        return;
    }
    KvUIFacade& facade = KvUIFacade::current();
    if (facade.IsPause())
        facade.PauseOrResumeScan();
}

void KvAppDelegate::applicationWillTerminate() {
    if (terminating_)
        return;
    terminating_ = true;
    for (const QMetaObject::Connection& observer : observers_)
        QObject::disconnect(observer);
    observers_.clear();
    for (KvRootWindowController* window : {rootWindowCon_.data(), menuWindow_.data()}) {
        if (window != nullptr)
            window->hide();
    }
    KvUIFacade& facade = KvUIFacade::current();
    // The worker must have left the devices and the results before the
    // process ends; the windows keep drawing meanwhile.
    if (facade.IsScanRunning())
        facade.StopScan(1);
    waitForScanThenClose(0);
}

void KvAppDelegate::waitForScanThenClose(int waitedMs) {
    if (KvUIFacade::current().IsScanRunning() && waitedMs < kStopLimitMs) {
        QTimer::singleShot(kStopPollMs, this,
                           [this, waitedMs] { waitForScanThenClose(waitedMs + kStopPollMs); });
        return;
    }
    spy_.SpyIDEnd(UserDefaults::boolValue(QStringLiteral("Participate")));
    KvUIFacade::current().CloseApp();
}
