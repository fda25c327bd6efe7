// Scenes of the results window as a scan starts, a loaded result shows, the
// scanned device goes away, and an empty list shows its note.

#include <QCoreApplication>
#include <QMessageBox>
#include <QStandardItemModel>

#include "Alert.h"
#include "DiskVolumeNodeData.h"
#include "FakeFacade.h"
#include "KvDeletailWindowController.h"
#include "KvNSTableView.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvUIDeviceData.h"
#include "Scene.h"
#include "Tr.h"

namespace {

std::shared_ptr<DiskVolumeNodeData> CardVolume() {
    _DiskVolumeData record;
    record.name = "PHOTOS";
    record.bsdName = "sdb1";
    record.capacity = 16007561216;
    record.diskIndex = 1;
    record.volumeIndex = 0;
    record.fileSystem = 7;
    return std::make_shared<DiskVolumeNodeData>(record);
}

std::unique_ptr<KvDeletailWindowController> ScanningWindow(FakeFacade& facade) {
    facade.tree = std::make_shared<SyntheticTree>(2000, 100, QStringLiteral("PHOTOS"));
    auto window = std::make_unique<KvDeletailWindowController>();
    window->setSelectDiskVolumeData(CardVolume());
    window->setScanTypeNum(1);
    window->getData();
    return window;
}

// Shows `alert` as the sheet it would be, inside the window so that a
// picture of the window holds it.
void ShowSheet(const Alert& alert, KvDeletailWindowController* window) {
    QMessageBox* box = alert.makeBox(window).release();
    box->setWindowFlags(Qt::Widget);
    box->setAutoFillBackground(true);
    box->adjustSize();
    box->move((window->width() - box->width()) / 2, KvDeletailWindowController::kTitleBarHeight);
    box->show();
}

}  // namespace

HARBEX_SCENE("results-preparing") {
    return ScanningWindow(facade);
}

HARBEX_SCENE("results-import-mode") {
    facade.tree = std::make_shared<SyntheticTree>(1200, 60, QStringLiteral("PHOTOS"));
    auto window = std::make_unique<KvDeletailWindowController>();
    window->getImportData(QStringLiteral("/home/user/PHOTOS.Harbex"));
    // The load has replayed every file.
    facade.finishScan();
    facade.KvGetTreeNodeData(1);
    QCoreApplication::processEvents();
    return window;
}

HARBEX_SCENE("results-device-removed") {
    auto window = ScanningWindow(facade);
    facade.advanceScan(40);
    facade.KvGetTreeNodeData(0);
    QCoreApplication::processEvents();
    Alert shown;
    Alert::setAnswerer([&shown](const Alert& alert) {
        shown = alert;
        return 0;
    });
    KvNotificationCenter::defaultCenter()->post(
        kvnote::kRefreshDetachDevice, QVariantMap{{QStringLiteral("USBPath"), "/dev/sdb1"}});
    Alert::setAnswerer({});
    ShowSheet(shown, window.get());
    return window;
}

HARBEX_SCENE("table-empty-note") {
    auto table = std::make_unique<KvNSTableView>();
    auto* model = new QStandardItemModel(0, 4, table.get());
    model->setHorizontalHeaderLabels({Tr("QOV_FOUR_TABLEVIEW_NAME"), Tr("QOV_FOUR_TABLEVIEW_SIZE"),
                                      Tr("QOV_FOUR_TABLEVIEW_PATH"),
                                      Tr("QOV_FOUR_TABLEVIEW_CREATED")});
    table->setModel(model);
    table->resize(676, 420);
    table->changeNoValue(0);
    return table;
}
