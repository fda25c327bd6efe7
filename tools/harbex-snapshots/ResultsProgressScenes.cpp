// Scenes of the results window during and after a scan: scanning, quiet with
// its dots, ended with the deep-scan offer, and a deep scan started from it.

#include <QCoreApplication>
#include <QDateTime>

#include "DiskVolumeNodeData.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "KvResultTrees.h"
#include "Scene.h"

namespace {

// A results window over a quick scan of a 2,000-file volume, moved to `percent`.
std::unique_ptr<KvDeletailWindowController> ScanningWindow(FakeFacade& facade, double percent) {
    facade.tree = std::make_shared<SyntheticTree>(2000, 50, QStringLiteral("PHOTOS"));
    facade.remainingTime = QStringLiteral("00:03:20");
    auto window = std::make_unique<KvDeletailWindowController>();
    window->setSelectDiskVolumeData(FakeFacade::MakeDevice("PHOTOS", 16007561216, 1, 0, 7));
    window->setScanTypeNum(1);
    window->getData();
    facade.advanceScan(percent);
    facade.KvGetTreeNodeData(0);
    QCoreApplication::processEvents();
    return window;
}

}  // namespace

HARBEX_SCENE("results-scanning") {
    return ScanningWindow(facade, 42);
}

HARBEX_SCENE("results-quiet-dots") {
    auto window = ScanningWindow(facade, 63);
    // Nothing new for 35 s: the next progress tick starts the dots, two
    // ticks of the dots later the count reads "..".
    window->oldData = QDateTime::currentDateTime().addSecs(-35);
    window->showScanProgree();
    window->showFoundCountPoint();
    window->showFoundCountPoint();
    return window;
}

HARBEX_SCENE("results-ended-offer") {
    auto window = ScanningWindow(facade, 80);
    facade.finishScan();
    facade.KvGetTreeNodeData(1);
    QCoreApplication::processEvents();
    return window;
}

HARBEX_SCENE("results-deep-scan") {
    auto window = ScanningWindow(facade, 80);
    facade.finishScan();
    facade.KvGetTreeNodeData(1);
    QCoreApplication::processEvents();
    window->deepSrcanButtonAction();
    window->doDeepScanAction();
    window->setStopButtonCanBeUseState();
    facade.advanceScan(12);
    facade.KvGetTreeNodeData(0);
    QCoreApplication::processEvents();
    return window;
}
