#include "FilePNGAnalyser.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "ByteOrder.h"
#include "RawFileBuffer.h"

uint32_t FilePNGAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint8_t* header = reader.GetRawFileBuffer(0);
    if (header == nullptr || std::memcmp(header + 12, "IHDR", 4) != 0 ||
        ReadBE32(header + 16) < 1 || ReadBE32(header + 20) < 1) {
        return 0;
    }
    int64_t offset = 20 + int64_t{ReadBE32(header + 8)};
    while (offset <= kCap) {
        const uint8_t* chunk = reader.GetRawFileBuffer(static_cast<uint64_t>(offset));
        if (chunk == nullptr)
            break;
        const uint32_t length = ReadBE32(chunk);
        if (length > static_cast<uint32_t>(kCap))
            break;
        const bool end = std::memcmp(chunk + 4, "IEND", 4) == 0;
        offset += int64_t{length} + 12;
        if (end)
            break;
    }
    // A walk cut short by the device's end keeps what the device holds.
    info.size = std::min<int64_t>(offset, static_cast<int64_t>(reader.GetBytesToDeviceEnd()));
    return 1;
}
