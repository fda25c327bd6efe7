#pragma once

// The second page of the main window: every disk with its volumes; the user
// chooses one disk or volume and starts the scan. The page follows media
// that come and go; it rebuilds the list off the main thread and keeps its
// scan button off until the new list is shown.

#include <QMetaObject>
#include <QSet>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "DiskListModel.h"

class KvCustomOutlineView;
class QLabel;
class TCImageButton;

class KvSelectDiskViewController : public QWidget {
    Q_OBJECT

public:
    explicit KvSelectDiskViewController(QWidget* parent = nullptr);

    void setAllDiskArr(DiskNodeArray disks) { allDiskArr_ = std::move(disks); }
    const DiskNodeArray& allDiskArr() const { return allDiskArr_; }
    void setSelectDiskVolume(DiskNodeRef node) { selectDiskVolume_ = std::move(node); }
    const DiskNodeRef& selectDiskVolume() const { return selectDiskVolume_; }

    // Shows the list: disks without volumes left out, every disk open, the
    // first disk chosen and reported.
    void InitFinished();
    // A medium came or went: the device list is built again on a worker.
    void RefreshDevice();
    // Refills the list from the device model and shows it 0.1 s later.
    void getDiskValue();
    bool isRefreshing() const { return refreshing_; }
    // Stops following media (before a scan or an import takes over).
    void disableRefreshDevice();
    void removeNotification();
    void scanButtonAction();
    // A double click on a row starts the scan; one on a header does not.
    void doubleToScan();
    // The grey rows: every disk with volumes, and own-format images.
    void reloadCellBackgroundColor();

    KvCustomOutlineView* outlineView() const { return outlineView_; }
    DiskListModel* listModel() const { return model_; }
    TCImageButton* backButton() const { return backButton_; }
    TCImageButton* scanButton() const { return scanButton_; }
    QLabel* emptyListLabel() const { return emptyLabel_; }
    int64_t selectedRow() const { return selectedRow_; }
    int isSelectDesktop() const { return isSelectDesktop_; }
    const QSet<int>& rootArr() const { return rootArr_; }

signals:
    void backHome();
    // The choice changed; null when nothing is chosen.
    void changeSelectDiskViewContinueButtonEnabled(DiskNodeRef node);
    // Scan the chosen entry; 1 when it is the Desktop entry.
    void doubleClickedListToScan(int desktop);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void choose(const QModelIndex& index);
    void clearChoice();
    void report(const DiskNodeRef& node);
    void markRow(int64_t row);
    void selectionChanged();
    void afterExpandOrCollapse();

    DiskNodeArray allDiskArr_;
    KvCustomOutlineView* outlineView_;
    DiskListModel* model_;
    DiskNodeRef selectDiskVolume_;
    DiskNodeRef oldSelectDiskVolume_;
    QLabel* middleLabel_;
    QLabel* emptyLabel_;
    QSet<int> rootArr_;
    DiskNodeRef desktopVolume_;
    int64_t selectedRow_ = -1;
    TCImageButton* backButton_;
    TCImageButton* scanButton_;
    bool bClickHead_ = false;
    int isSelectDesktop_ = 0;
    bool filling_ = false;
    bool refreshing_ = false;
    bool refreshAgain_ = false;
    std::vector<QMetaObject::Connection> deviceObservers_;
};
