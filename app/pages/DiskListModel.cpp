#include "DiskListModel.h"

#include <QColor>
#include <QIcon>

#include "Images.h"
#include "KvPublicUtilities.h"
#include "Tr.h"

const char* DiskListModel::columnIdentifier(int column) {
    static const char* const identifiers[] = {"Name", "Size", "FileSystem", "isSSD", "isSelect"};
    return column >= 0 && column < kColumnCount ? identifiers[column] : "";
}

DiskListModel::DiskListModel(QObject* parent) : QAbstractItemModel(parent) {}

void DiskListModel::setDisks(DiskNodeArray disks) {
    beginResetModel();
    disks_ = std::move(disks);
    marked_ = nullptr;
    endResetModel();
}

void DiskListModel::setMarked(const DiskVolumeNodeData* node) {
    marked_ = node;
    if (!disks_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
    for (size_t row = 0; row < disks_.size(); ++row) {
        if (!disks_[row]->children().empty()) {
            const QModelIndex parent = index(static_cast<int>(row), 0);
            emit dataChanged(index(0, 0, parent),
                             index(rowCount(parent) - 1, kColumnCount - 1, parent));
        }
    }
}

DiskVolumeNodeData* DiskListModel::nodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<DiskVolumeNodeData*>(index.internalPointer()) : nullptr;
}

DiskVolumeNodeData* DiskListModel::diskOf(const DiskVolumeNodeData* volume) const {
    for (const DiskNodeRef& disk : disks_) {
        for (const DiskNodeRef& child : disk->children()) {
            if (child.get() == volume)
                return disk.get();
        }
    }
    return nullptr;
}

DiskNodeRef DiskListModel::recordOf(const QModelIndex& index) const {
    const DiskVolumeNodeData* node = nodeOf(index);
    if (node == nullptr)
        return {};
    const QModelIndex above = parent(index);
    const DiskNodeArray& siblings = above.isValid() ? nodeOf(above)->children() : disks_;
    return siblings[index.row()];
}

QString DiskListModel::iconName(const DiskVolumeNodeData& node) {
    if (node.isSystemVolume())
        return QStringLiteral("icon_disk_osx");
    if (node.isDmg())
        return QStringLiteral("icon_mirror");
    if (node.isUSB())
        return QStringLiteral("icon_usb");
    if (!node.name().isEmpty())
        return QStringLiteral("icon_disk");
    return QStringLiteral("icon_desktop");
}

QString DiskListModel::textOf(const DiskVolumeNodeData& node, int column) {
    const bool named = !node.name().isEmpty();
    switch (column) {
        case kName:
            return named ? node.name() : QStringLiteral("Desktop");
        case kSize:
            return named
                       ? KvPublicUtilities::longlongDiskSize(static_cast<int64_t>(node.capacity()))
                       : QStringLiteral(" ");
        case kFileSystem:
            return named
                       ? KvPublicUtilities::fileSystemTypeForInt(node.fileSystem(), node.isDmg(), 0)
                       : QStringLiteral(" ");
        case kIsSSD:
            if (node.children().empty())
                return QStringLiteral(" ");
            // The kernel knows whether a disk spins; a name may say it too.
            return node.isSSD() != 0 || node.name().contains(QStringLiteral("SSD"))
                       ? QStringLiteral("SSD")
                       : QStringLiteral("HDD");
        default:
            return {};
    }
}

QModelIndex DiskListModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= kColumnCount)
        return {};
    if (!parent.isValid()) {
        if (row >= static_cast<int>(disks_.size()))
            return {};
        return createIndex(row, column, disks_[row].get());
    }
    const DiskVolumeNodeData* disk = nodeOf(parent);
    if (parent.column() != 0 || row >= static_cast<int>(disk->children().size()))
        return {};
    return createIndex(row, column, disk->children()[row].get());
}

QModelIndex DiskListModel::parent(const QModelIndex& child) const {
    const DiskVolumeNodeData* disk = diskOf(nodeOf(child));
    if (disk == nullptr)
        return {};
    for (size_t row = 0; row < disks_.size(); ++row) {
        if (disks_[row].get() == disk)
            return createIndex(static_cast<int>(row), 0, disks_[row].get());
    }
    return {};
}

int DiskListModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return static_cast<int>(disks_.size());
    if (parent.column() != 0)
        return 0;
    return static_cast<int>(nodeOf(parent)->children().size());
}

int DiskListModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

QVariant DiskListModel::data(const QModelIndex& index, int role) const {
    const DiskVolumeNodeData* node = nodeOf(index);
    if (node == nullptr)
        return {};
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return textOf(*node, column);
        case Qt::DecorationRole:
            if (column == kName)
                return QIcon(Images::named(iconName(*node)));
            if (column == kIsSelect && node == marked_)
                return QIcon(Images::named(QStringLiteral("select_disk")));
            return {};
        case Qt::ForegroundRole:
            if (column == kIsSelect)
                return {};
            return QColor(node == marked_ ? Qt::white : Qt::black);
        default:
            return {};
    }
}

QVariant DiskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
        case kName:
            return Tr("QOV_THREE_TABLEVIEW_DRIVES");
        case kSize:
            return Tr("QOV_THREE_TABLEVIEW_SIZE");
        default:
            return Tr("QOV_THREE_TABLEVIEW_FILESYSTEM");
    }
}
