// Starting the scan or showing a loaded scan result, and loading the trees
// whenever the facade says the result grew.

#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <string>

#include "DiskVolumeNodeData.h"
#include "KvDeletailWindowController.h"
#include "KvNotificationNames.h"
#include "KvProgressView.h"
#include "KvPublicUtilities.h"
#include "KvSegmentedControl.h"
#include "KvUIDeviceData.h"
#include "KvUIFacade.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

// What the facade's scan calls take for a device: its indexes, its kind and,
// for an image file, the file's path.
class DeviceRecord {
public:
    explicit DeviceRecord(const DiskVolumeNodeData& device)
        : name_(device.name().toStdString()), path_(KernelName(device.diskPath())) {
        record_.name = name_.c_str();
        record_.bsdName = path_.c_str();
        record_.capacity = device.capacity();
        record_.diskIndex = device.diskIndex();
        record_.volumeIndex = device.volumeIndex();
        record_.fileSystem = device.fileSystem();
        record_.isOzt = device.isOzt();
        record_.isAppleDmg = device.isAppleDmg();
        record_.beCanOpen = device.beCanOpen();
    }
    const _DiskVolumeData* get() const { return &record_; }

private:
    // Block devices go by their kernel name; image files by their path.
    static std::string KernelName(const QString& path) {
        const QString prefix = QStringLiteral("/dev/");
        return (path.startsWith(prefix) ? path.mid(prefix.size()) : path).toStdString();
    }

    std::string name_;
    std::string path_;
    _DiskVolumeData record_;
};

}  // namespace

void KvDeletailWindowController::getData() {
    if (!allDiskArr.empty()) {
        allDiskArr.clear();
        allModifyTimeArr.clear();
        allCreatTimeArr.clear();
        allTypeArr.clear();
    }
    isDeepScan = 0;
    setNotification();

    KvUIFacade& facade = KvUIFacade::current();
    if (selectDiskVolumeData) {
        const DeviceRecord record(*selectDiskVolumeData);
        if (selectDiskVolumeData->isOzt() != 0 || selectDiskVolumeData->isAppleDmg() != 0) {
            // Images are always searched through.
            facade.ResetShouldBuild();
            facade.isOztDoDeepScanWithData(record.get());
        } else if (scanTypeNum == 1) {
            facade.DoScanWithData(record.get());
        } else {
            facade.DoDeepScanWithData(record.get());
        }
    }
    if (refreshTimer != nullptr) {
        refreshTimer->stop();
        refreshTimer = nullptr;
        viewLoadCnt_ = 0;
    }
    isDeepScan = facade.IsDeepScan() ? 1 : 0;
    if (isDeepScan != 0) {
        segment->setEnabled(false);
        placeDeepScanControls();
        advButton->hide();
    } else {
        segment->setEnabled(true);
    }
}

void KvDeletailWindowController::placeDeepScanControls() {
    placeInBox(stopButton, QRectF(527, 32, 18, 18));
    placeInBox(pauseButton, QRectF(497, 32, 18, 18));
    placeInBox(continueScanButton, QRectF(497, 32, 18, 18));
    placeInBox(recovertyButton, QRectF(562, 22, 138, 41));
}

void KvDeletailWindowController::getImportData(const QString& /*path*/) {
    isImport = 1;
    for (QWidget* hidden :
         {static_cast<QWidget*>(findFilesLabel), static_cast<QWidget*>(remainTimeLabel),
          static_cast<QWidget*>(pauseButton), static_cast<QWidget*>(stopButton),
          static_cast<QWidget*>(progressView), static_cast<QWidget*>(continueButton),
          static_cast<QWidget*>(deepScanLabel), static_cast<QWidget*>(exportButton)}) {
        if (hidden != nullptr)
            hidden->hide();
    }
    placeDeepScanControls();
    advButton->hide();
    backHomeButton->setButtonEnabled(true);
    KvUIFacade::current().RestorPostUIUpdate(QString::fromLatin1(kvnote::kNormalScanValue), false);
    setNotification();
}

void KvDeletailWindowController::DataInitFinished() {
    KvUIFacade& facade = KvUIFacade::current();
    // A desktop search shows its trees only once the scan has found everything.
    if (selectDesktop == 1 && facade.IsScanRunning()) {
        getScanProgress();
        return;
    }
    reloadTreesFromRoots();
    getScanProgress();
    if (!facade.IsScanRunning()) {
        for (QPushButton* tab : {timeButton, pathButton, typeButton})
            tab->setEnabled(true);
        selectRootItem();
        setFoundAllFiles();
        if (!allDiskArr.empty())
            pathOutlineView->expand(pathOutlineView->model()->index(0, 0));
        showNoValueNote();
    }
    oldData = QDateTime::fromMSecsSinceEpoch(clock().nowMs());
}

void KvDeletailWindowController::setFoundAllFiles() {
    uint64_t size = 0;
    uint64_t count = 0;
    KvUIFacade::current().GetScanFileSize(size, count);
    selectFilesLabel->setText(
        Tr("QOV_FOUR_ALL_FILES_SIZE",
           KvPublicUtilities::longlongConvertVolSpace(static_cast<int64_t>(size)),
           QString::number(count)));
}
