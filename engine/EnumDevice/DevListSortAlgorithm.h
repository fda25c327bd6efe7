#pragma once

class IStorageDevice;

// The order of every device list: disks by kernel name, partitions by entry
// number, volumes by partition number (a whole medium, -1, first). Devices of
// different kinds, or without their record, compare as equal; use it with a
// stable sort.
class CDevListSortAlgorithm {
public:
    bool operator()(IStorageDevice* a, IStorageDevice* b) const;
};
