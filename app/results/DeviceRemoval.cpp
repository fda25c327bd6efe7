#include "DeviceRemoval.h"

#include "DiskVolumeNodeData.h"

namespace {

// "sdb1" lies on "sdb", "mmcblk0p1" on "mmcblk0", "nvme0n1p2" on "nvme0n1".
bool IsPartitionOf(const QString& partition, const QString& disk) {
    if (disk.isEmpty() || !partition.startsWith(disk) || partition.size() == disk.size())
        return false;
    QString suffix = partition.mid(disk.size());
    if (disk.back().isDigit()) {
        if (!suffix.startsWith(QLatin1Char('p')))
            return false;
        suffix.remove(0, 1);
    }
    if (suffix.isEmpty())
        return false;
    for (const QChar c : suffix) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

bool SameDevice(const DiskVolumeNodeData& row, const DiskVolumeNodeData& device) {
    if (!device.diskPath().isEmpty())
        return row.diskPath() == device.diskPath();
    return row.name() == device.name() && row.capacity() == device.capacity();
}

}  // namespace

bool RemovalNamesDevice(const QString& removedPath, const DiskVolumeNodeData& device) {
    const QString& scanned = device.diskPath();
    if (removedPath.isEmpty() || scanned.isEmpty())
        return false;
    return removedPath == scanned || IsPartitionOf(scanned, removedPath);
}

bool DeviceListHolds(const std::vector<std::shared_ptr<DiskVolumeNodeData>>& disks,
                     const DiskVolumeNodeData& device) {
    for (const auto& disk : disks) {
        if (SameDevice(*disk, device))
            return true;
        for (const auto& volume : disk->children()) {
            if (SameDevice(*volume, device))
                return true;
        }
    }
    return false;
}
