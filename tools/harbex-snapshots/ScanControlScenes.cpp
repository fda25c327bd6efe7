// Scenes of the scan controls: a paused scan, the stop question, the offer to
// save before going home, and the warning about saving onto the scanned drive.

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>

#include <memory>

#include "Alert.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "SavePanel.h"
#include "Scene.h"

namespace {

std::unique_ptr<KvDeletailWindowController> ScanningWindow(FakeFacade& facade) {
    facade.tree = std::make_shared<SyntheticTree>(2000, 100, QStringLiteral("PHOTOS"));
    auto window = std::make_unique<KvDeletailWindowController>();
    window->setSelectDiskVolumeData(FakeFacade::MakeDevice("PHOTOS", 16007561216, 1, 0, 7));
    window->setScanTypeNum(1);
    window->getData();
    facade.advanceScan(45);
    // The scan's notice fills the trees.
    QCoreApplication::processEvents();
    return window;
}

// The alert the window asks while `ask` runs, answered with `answer`.
Alert AlertOf(const std::function<void()>& ask, int answer) {
    Alert asked;
    Alert::setAnswerer([&asked, answer](const Alert& alert) {
        asked = alert;
        return answer;
    });
    ask();
    Alert::setAnswerer({});
    return asked;
}

// The window with `alert` hanging below its title bar, as a sheet does.
std::unique_ptr<QWidget> WithSheet(std::unique_ptr<KvDeletailWindowController> window,
                                   const Alert& alert) {
    QMessageBox* box = alert.makeBox().release();
    box->setParent(window.get());
    box->setWindowFlags(Qt::Widget);
    box->setAutoFillBackground(true);
    box->adjustSize();
    box->move((window->width() - box->width()) / 2, KvDeletailWindowController::kTitleBarHeight);
    box->show();
    return window;
}

}  // namespace

HARBEX_SCENE("results-paused") {
    auto window = ScanningWindow(facade);
    window->pauseButtonClick();
    return window;
}

HARBEX_SCENE("results-stop-confirm") {
    auto window = ScanningWindow(facade);
    KvDeletailWindowController* controls = window.get();
    const Alert alert = AlertOf([controls] { controls->stopButtonClick(controls->stopButton); }, 0);
    return WithSheet(std::move(window), alert);
}

HARBEX_SCENE("results-home-save-offer") {
    auto window = ScanningWindow(facade);
    facade.finishScan();
    KvDeletailWindowController* controls = window.get();
    const Alert alert = AlertOf([controls] { controls->backButtonAction(); }, 0);
    return WithSheet(std::move(window), alert);
}

HARBEX_SCENE("results-save-same-disk") {
    auto window = ScanningWindow(facade);
    facade.finishScan();
    // A folder that can be written, on the scanned drive as far as the facade tells.
    facade.recoveryOnSameDevice = true;
    SavePanel::setAnswerer([](const SavePanel& panel) {
        return QDir::tempPath() + QLatin1Char('/') + panel.nameFieldStringValue;
    });
    KvDeletailWindowController* controls = window.get();
    const Alert alert = AlertOf([controls] { controls->exportButtonAction(); }, 0);
    SavePanel::setAnswerer({});
    return WithSheet(std::move(window), alert);
}
