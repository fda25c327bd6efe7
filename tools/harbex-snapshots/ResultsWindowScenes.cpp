// Scenes of the results window as a scan starts, a loaded result shows, the
// scanned device goes away, and an empty list shows its note.

#include "DiskVolumeNodeData.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "Scene.h"

namespace {

std::unique_ptr<KvDeletailWindowController> ScanningWindow(FakeFacade& facade, int mode) {
    facade.tree = std::make_shared<SyntheticTree>(2000, 100, QStringLiteral("PHOTOS"));
    auto window = std::make_unique<KvDeletailWindowController>();
    window->setSelectDiskVolumeData(FakeFacade::MakeDevice("PHOTOS", 16007561216, 1, 0, 7));
    window->setScanTypeNum(mode);
    window->getData();
    return window;
}

}  // namespace

HARBEX_SCENE("results-preparing") {
    return ScanningWindow(facade, 1);
}
