#include "NTFSUpdateSequence.h"

#include "ByteOrder.h"

namespace NTFSUpdateSequence {

namespace {
void WriteLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
}  // namespace

int ProtectedStrides(const uint8_t* buffer, int size) {
    if (buffer == nullptr || size < 512) {
        return 0;
    }
    const int offset = ReadLE16(buffer + 4);
    const int count = ReadLE16(buffer + 6);
    if (count < 2 || offset + 2 * count > size || offset + 2 * count > 512) {
        return 0;
    }
    const int strides = count - 1;
    return strides < size / 512 ? strides : size / 512;
}

bool IsValid(const uint8_t* buffer, int size) {
    const int strides = ProtectedStrides(buffer, size);
    if (strides == 0) {
        return false;
    }
    const uint16_t number = ReadLE16(buffer + ReadLE16(buffer + 4));
    for (int i = 0; i < strides; ++i) {
        if (ReadLE16(buffer + 512 * i + 510) != number) {
            return false;
        }
    }
    return true;
}

void Undo(uint8_t* buffer, int size) {
    const int strides = ProtectedStrides(buffer, size);
    const uint8_t* saved = buffer + ReadLE16(buffer + 4) + 2;
    for (int i = 0; i < strides; ++i) {
        WriteLE16(buffer + 512 * i + 510, ReadLE16(saved + 2 * i));
    }
}

void Redo(uint8_t* buffer, int size) {
    const int strides = ProtectedStrides(buffer, size);
    const int offset = ReadLE16(buffer + 4);
    const uint16_t number = ReadLE16(buffer + offset);
    for (int i = 0; i < strides; ++i) {
        WriteLE16(buffer + offset + 2 + 2 * i, ReadLE16(buffer + 512 * i + 510));
        WriteLE16(buffer + 512 * i + 510, number);
    }
}

}  // namespace NTFSUpdateSequence
