#pragma once

// Whether a medium that went away is the device a results window scans.

#include <QString>

#include <memory>
#include <vector>

class DiskVolumeNodeData;

// `removedPath` names the device node that went ("/dev/sdb1"). It concerns the
// scanned device when it is that device, or the whole disk the scanned
// partition lies on.
bool RemovalNamesDevice(const QString& removedPath, const DiskVolumeNodeData& device);

// Whether the device list still holds the scanned device.
bool DeviceListHolds(const std::vector<std::shared_ptr<DiskVolumeNodeData>>& disks,
                     const DiskVolumeNodeData& device);
