// Scenes of the main window: the file-type page and the device page.

#include <QItemSelectionModel>

#include "DiskVolumeNodeData.h"
#include "FakeFacade.h"
#include "KvCustomOutlineView.h"
#include "KvRootWindowController.h"
#include "KvSelectDiskViewController.h"
#include "KvSelectTypeViewController.h"
#include "Scene.h"

namespace {

std::shared_ptr<DiskVolumeNodeData> DiskWith(const QString& name, uint64_t capacity, int disk,
                                             std::vector<std::pair<QString, uint64_t>> volumes) {
    auto row = FakeFacade::MakeDevice(name, capacity, disk, -1, -1);
    std::vector<std::shared_ptr<DiskVolumeNodeData>> children;
    int index = 0;
    for (const auto& [volumeName, size] : volumes)
        children.push_back(FakeFacade::MakeDevice(volumeName, size, disk, index++, 7));
    row->setSubNode(std::move(children));
    return row;
}

std::unique_ptr<KvRootWindowController> MainWindow() {
    auto window = std::make_unique<KvRootWindowController>(KvShellWindows());
    window->windowDidLoad();
    return window;
}

// The device page over two disks, as the type page's next button leads to it.
std::unique_ptr<KvRootWindowController> DevicePage(FakeFacade& facade) {
    facade.devices = {DiskWith("Samsung SSD 870 EVO", 500107862016, 0,
                               {{"EFI", 209715200}, {"Data", 499896000000}}),
                      DiskWith("SanDisk Cruzer", 16008609792, 1, {{"PHOTOS", 16007561216}})};
    auto window = MainWindow();
    window->nextButtonActionWithAllTypeArr(KvSelectTypeViewController::allCategories());
    window->InitFinished();
    return window;
}

}  // namespace

HARBEX_SCENE("main-type-page") {
    return MainWindow();
}

HARBEX_SCENE("main-type-page-none") {
    auto window = MainWindow();
    window->selectTypeVC()->allTypesButtonClick();
    return window;
}

HARBEX_SCENE("main-device-page") {
    return DevicePage(facade);
}

HARBEX_SCENE("main-device-page-volume") {
    auto window = DevicePage(facade);
    KvCustomOutlineView* outline = window->selectDiskVC()->outlineView();
    outline->selectionModel()->select(
        outline->itemAtRow(2), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    return window;
}

HARBEX_SCENE("main-device-page-sd-card") {
    facade.devices = {DiskWith("SD Card SC64G", 63864569856, 0, {{"CAMERA", 63847792640}}),
                      DiskWith("SanDisk Cruzer", 16008609792, 1, {{"PHOTOS", 16007561216}})};
    auto window = MainWindow();
    window->nextButtonActionWithAllTypeArr(KvSelectTypeViewController::allCategories());
    window->InitFinished();
    return window;
}

HARBEX_SCENE("main-device-page-empty") {
    facade.devices = {};
    auto window = MainWindow();
    window->nextButtonActionWithAllTypeArr(KvSelectTypeViewController::allCategories());
    window->InitFinished();
    return window;
}
