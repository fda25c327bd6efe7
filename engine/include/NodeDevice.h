#pragma once

#include <cstdint>

#include "DescriptorDevice.h"

// What disks and volumes share: a node opened read-only by path, measured by
// the kernel (or as 512-byte sectors for a regular file), read through
// KvReadAsyncData.
class CNodeDevice : public CDescriptorDevice {
public:
    // A non-null path replaces the stored one; a path of 128 bytes or more is refused.
    bool Open(char* path) override;
    bool IsPermitted() override { return permitted_ != 0; }

protected:
    // Unopened; an over-long path leaves the stored path empty.
    explicit CNodeDevice(const char* path);

private:
    char path_[128] = {};
    uint32_t permitted_ = 1;
};
