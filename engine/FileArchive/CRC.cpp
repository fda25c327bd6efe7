#include "CRC.h"

namespace {

template <typename T>
T RunTable(const T* table, const void* data, size_t length) {
    constexpr int kShift = sizeof(T) * 8 - 8;
    const auto* bytes = static_cast<const uint8_t*>(data);
    T crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc = static_cast<T>(crc << 8) ^ table[static_cast<uint8_t>(crc >> kShift) ^ bytes[i]];
    }
    return crc;
}

}  // namespace

template <typename T>
const T* CCRC::Table<T>::For(T wanted) {
    if (built && polynomial == wanted) {
        return entries;
    }
    constexpr T kTopBit = static_cast<T>(T{1} << (sizeof(T) * 8 - 1));
    for (unsigned index = 0; index < 256; ++index) {
        T value = static_cast<T>(T(index) << (sizeof(T) * 8 - 8));
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & kTopBit) ? static_cast<T>((value << 1) ^ wanted)
                                      : static_cast<T>(value << 1);
        }
        entries[index] = value;
    }
    polynomial = wanted;
    built = true;
    return entries;
}

uint16_t CCRC::RunCRC16(const void* data, size_t length, uint16_t polynomial) {
    return RunTable(table16_.For(polynomial), data, length);
}

uint32_t CCRC::RunCRC32(const void* data, size_t length, uint32_t polynomial) {
    return RunTable(table32_.For(polynomial), data, length);
}
