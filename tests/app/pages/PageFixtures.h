#pragma once

#include <initializer_list>
#include <memory>
#include <string>

#include "DiskListModel.h"
#include "KvUIDeviceData.h"

namespace pagetest {

struct VolumeSpec {
    const char* name;
    uint64_t capacity;
    int32_t canOpen = 1;
    int32_t isOzt = 0;
};

inline DiskNodeRef Device(const char* name, uint64_t capacity, int32_t canOpen = 1,
                          int32_t isOzt = 0) {
    _DiskVolumeData record;
    record.name = name;
    record.capacity = capacity;
    record.beCanOpen = canOpen;
    record.isOzt = isOzt;
    return std::make_shared<DiskVolumeNodeData>(record);
}

// A disk with its volumes, as the device list gives them.
inline DiskNodeRef Disk(const char* name, uint64_t capacity,
                        std::initializer_list<VolumeSpec> volumes = {}) {
    DiskNodeRef disk = Device(name, capacity);
    DiskNodeArray children;
    for (const VolumeSpec& volume : volumes)
        children.push_back(Device(volume.name, volume.capacity, volume.canOpen, volume.isOzt));
    disk->setSubNode(std::move(children));
    return disk;
}

}  // namespace pagetest
