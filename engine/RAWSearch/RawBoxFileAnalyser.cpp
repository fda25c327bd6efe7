#include "RawBoxFileAnalyser.h"

#include <algorithm>
#include <cassert>
#include <cctype>

#include "ByteOrder.h"
#include "RawFileBuffer.h"

namespace {

bool SameLetters(const uint8_t* bytes, const char* type) {
    for (int i = 0; i < 4; ++i) {
        if (std::tolower(bytes[i]) != type[i])
            return false;
    }
    return true;
}

bool IsAcceptedBox(const uint8_t* type) {
    static constexpr const char* kTypes[] = {"mdat", "moov", "free", "moof", "mfra", "uuid"};
    for (const char* accepted : kTypes) {
        if (SameLetters(type, accepted))
            return true;
    }
    return false;
}

}  // namespace

uint32_t CRawBoxFileAnalyser::DWORDBigEndian2LittleEndian(uint32_t value) {
    return __builtin_bswap32(value);
}

int CRawBoxFileAnalyser::GetFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const uint64_t deviceBytes = reader.GetBytesToDeviceEnd();
    const uint8_t* first = reader.GetRawFileBuffer(0);
    if (first == nullptr)
        return 0;
    uint64_t position = ReadBE32(first);
    if (position == 0)
        return 0;
    for (int box = 0; box < kMostBoxes && position < deviceBytes; ++box) {
        const uint8_t* header = reader.GetRawFileBuffer(position);
        if (header == nullptr)
            break;
        const uint32_t size = ReadBE32(header);
        if (size == 0)
            break;
        uint64_t length = size;
        if (size == 1) {
            if (!SameLetters(header + 4, "mdat") && !SameLetters(header + 12, "mdat"))
                break;
            // The 64-bit length of a large box, all of it.
            length = ReadBE64(header + 8);
            if (length == 0)
                return 0;
        } else if (!IsAcceptedBox(header + 4) && !IsAcceptedBox(header + 12)) {
            break;
        }
        if (length >= deviceBytes - position) {
            position = deviceBytes;
            break;
        }
        position += length;
    }
    if (position == 0)
        return 0;
    // A box that claims more than the device holds ends the file at the device's end.
    info.size = static_cast<int64_t>(std::min(position, deviceBytes));
    return 1;
}
