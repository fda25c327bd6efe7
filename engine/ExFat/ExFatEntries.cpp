#include "ExFatEntries.h"

#include "ExFatNames.h"
#include "ExFatTime.h"
#include "LittleEndian.h"

namespace {

bool AllZero(const uint8_t* bytes, int from, int to) {
    for (int i = from; i < to; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

uint64_t ReadLE64(const uint8_t* p) {
    return uint64_t{ReadLE32(p)} | (uint64_t{ReadLE32(p + 4)} << 32);
}

}  // namespace

bool IsValidFileEntry(const uint8_t* entry) {
    if ((entry[0] & (kExFatSecondary | kExFatBenign)) != 0)
        return false;
    if (entry[1] < 2 || entry[1] > 18)
        return false;
    for (int offset : {8, 12, 16}) {
        if (!IsPlausibleExFatTime(ReadLE32(entry + offset)))
            return false;
    }
    if (entry[20] > 199 || entry[21] > 199)
        return false;
    return AllZero(entry, 6, 8) && AllZero(entry, 25, 32);
}

bool IsValidNameEntry(const uint8_t* entry) {
    if ((entry[0] & (kExFatSecondary | kExFatBenign)) != kExFatSecondary || entry[1] != 0)
        return false;
    if (ReadLE16(entry + 2) == 0)
        return false;
    for (uint32_t i = 0; i < kExFatNameCharsPerEntry; ++i) {
        const uint16_t character = ReadLE16(entry + 2 + 2 * i);
        if (character == 0)
            break;
        if (!IsAllowedNameCharacter(character))
            return false;
    }
    return true;
}

bool IsValidLabelEntry(const uint8_t* entry) {
    if ((entry[0] & (kExFatSecondary | kExFatBenign)) != 0 || entry[1] > 11)
        return false;
    for (int i = 0; i < entry[1]; ++i) {
        if (!IsAllowedLabelCharacter(ReadLE16(entry + 2 + 2 * i)))
            return false;
    }
    return AllZero(entry, 2 + 2 * entry[1], 24) && AllZero(entry, 24, 32);
}

bool StreamReservedFieldsClear(const uint8_t* entry) {
    return entry[2] == 0 && AllZero(entry, 6, 8) && AllZero(entry, 16, 20);
}

ExFatStream ReadStreamEntry(const uint8_t* entry) {
    ExFatStream stream;
    stream.flags = entry[1];
    stream.nameLength = entry[3];
    stream.validLength = ReadLE64(entry + 8);
    stream.firstCluster = ReadLE32(entry + 20);
    stream.dataLength = ReadLE64(entry + 24);
    return stream;
}

uint16_t ExFatSetChecksum(const uint8_t* entries, uint32_t bytes) {
    uint16_t sum = 0;
    for (uint32_t i = 0; i < bytes; ++i) {
        if (i == 2 || i == 3)
            continue;
        sum = static_cast<uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + entries[i]);
    }
    return sum;
}
