#pragma once

// How a header analyser's walk over the device begins: a reader at the
// record's first sector.

#include <algorithm>
#include <cassert>
#include <memory>

#include "RawFileAnalyser.h"
#include "RawFileBuffer.h"

// The reader for `info`'s file, or null when there is nothing to walk (no
// device, a start before the device).
inline std::unique_ptr<RawFileBuffer> OpenDeviceWalk(const CRawFileInfo& info,
                                                     IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return nullptr;
    return std::make_unique<RawFileBuffer>(device, static_cast<uint64_t>(info.startSector));
}

// The size, or 0 (no file) when it runs past what the device holds from the
// file's start: the header that gave it was damaged.
inline int64_t WithinDevice(const RawFileBuffer& reader, int64_t size) {
    return size <= static_cast<int64_t>(reader.GetBytesToDeviceEnd()) ? size : 0;
}
