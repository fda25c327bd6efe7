#pragma once

#include <cstddef>
#include <cstdint>

// Table-driven CRCs, most significant bit first, initial value 0, no
// reflection and no final exclusive-or (with 0x8005 the CRC-16 is the
// published CRC-16/UMTS). Each object keeps the table of the polynomial it
// last used, so a table is built once, not per call.
class CCRC {
public:
    uint16_t RunCRC16(const void* data, size_t length, uint16_t polynomial);
    uint32_t RunCRC32(const void* data, size_t length, uint32_t polynomial);

private:
    template <typename T>
    struct Table {
        bool built = false;
        T polynomial = 0;
        T entries[256] = {};
        const T* For(T wanted);
    };

    Table<uint16_t> table16_;
    Table<uint32_t> table32_;
};
