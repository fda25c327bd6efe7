#pragma once

// The device page's list: the disks, each with its volumes below it, in the
// order of the device list. Columns: name with its icon, size, file system,
// SSD or HDD, and the mark of the chosen row.

#include <QAbstractItemModel>

#include <memory>
#include <vector>

#include "DiskVolumeNodeData.h"

using DiskNodeRef = std::shared_ptr<DiskVolumeNodeData>;
using DiskNodeArray = std::vector<DiskNodeRef>;

class DiskListModel : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Column { kName, kSize, kFileSystem, kIsSSD, kIsSelect, kColumnCount };
    static const char* columnIdentifier(int column);

    explicit DiskListModel(QObject* parent = nullptr);

    // Shows `disks` (kept until the next call).
    void setDisks(DiskNodeArray disks);
    const DiskNodeArray& disks() const { return disks_; }
    // The row drawn as chosen (white text and the mark), null for none.
    void setMarked(const DiskVolumeNodeData* node);

    static DiskVolumeNodeData* nodeOf(const QModelIndex& index);
    // The shared record behind an index, the disk of a volume, null for none.
    DiskNodeRef recordOf(const QModelIndex& index) const;
    DiskVolumeNodeData* diskOf(const DiskVolumeNodeData* volume) const;

    // The picture beside a device's name.
    static QString iconName(const DiskVolumeNodeData& node);
    // The text of a device in a column (" " where it has none).
    static QString textOf(const DiskVolumeNodeData& node, int column);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    DiskNodeArray disks_;
    const DiskVolumeNodeData* marked_ = nullptr;
};
