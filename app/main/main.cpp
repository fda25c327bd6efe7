// The program: reads its command line, keeps the machine awake while it
// runs, and hands over to the application's delegate.

#include <QApplication>

#include "APFSScanWindowController.h"
#include "KvAboutWindowController.h"
#include "KvAppDelegate.h"
#include "KvCheckUpdateWindowController.h"
#include "KvDeletailWindowController.h"
#include "KvProgressWindow.h"
#include "KvShellWindows.h"
#include "KvSleepGuard.h"
#include "StartArguments.h"
#include "StringTableTranslator.h"
#include "UserDefaults.h"

int main(int argc, char** argv) {
    qInfo("vqr path para[0] = %s, para[1] = %s", argv[0], argc > 1 ? argv[1] : "(null)");
    QCoreApplication::setOrganizationName(QStringLiteral("Harbex"));
    QCoreApplication::setApplicationName(QStringLiteral("Harbex"));

    const StartRoad road = ReadStartArguments(argc, argv);
    if (road.setLanguage)
        setCurLanguage(road.language);
    else if (road.askLoader && ZZManRunLoader())
        return 0;

    QApplication application(argc, argv);
    StringTableTranslator texts;
    QCoreApplication::installTranslator(&texts);
    KvSleepGuard sleepGuard;
    sleepGuard.PreventSleep();
    UserDefaults::setValue(QStringLiteral("rsfPath"), road.rsfPath);

    KvShellWindows windows = DesktopShellWindows();
    windows.makeResultsWindow = [] { return std::make_unique<KvDeletailWindowController>(); };
    windows.runLoadWait = RunLoadWait;
    windows.showVolumeNotice = ShowVolumeNotice;
    windows.showAbout = ShowAbout;
    windows.runUpdateWindow = RunUpdateWindow;
    KvDeletailWindowController::setShellWindows(windows);
    KvAppDelegate delegate(std::move(windows));
    delegate.applicationDidFinishLaunching();
    const int result = application.exec();
    sleepGuard.ReleasePreventObj();
    return result;
}
