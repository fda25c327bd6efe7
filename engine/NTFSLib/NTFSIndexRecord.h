#pragma once

#include <cstdint>

// An index block ("INDX") of a folder's index allocation. `size` is the bytes
// of the block held in the buffer; every entry walk stays inside them.
class CIndexRecord {
public:
    static bool IsValidMagicNumber(const uint8_t* buffer);
    // The header alone: sizes, update sequence geometry.
    static bool IsValidHeader(const uint8_t* buffer, int size);
    // Header, update sequence over every sector, entries naming one parent;
    // the buffer leaves as it came.
    static bool IsValid(uint8_t* buffer, int size);
    // On an undone block: the entries agree on their parent folder.
    static bool CheckIndexEntries(const uint8_t* buffer, int size);

    static int64_t GetVCN(const uint8_t* buffer);
    static uint64_t GetLogFileSequenceNumber(const uint8_t* buffer);
    static uint32_t GetOffsetofIndexEntries(const uint8_t* buffer);
    static uint32_t GetSizeofIndexEntries(const uint8_t* buffer);
    // The parent record number the first entry names (low 32 bits), -1 when
    // the block fails IsValid.
    static int64_t GetParentFileReference(uint8_t* buffer, int size);
};

// A $LogFile record page ("RCRD"): 4096 bytes, an update sequence of 9 words at 40.
class CRCRDRecord {
public:
    static constexpr int kPageSize = 4096;

    static bool IsValidMagicNumber(const uint8_t* buffer);
    static bool IsValidRCRDRecordFirstSector(const uint8_t* buffer, int size);
    static bool IsValid(const uint8_t* buffer, int size);
    static void Unfixup(uint8_t* buffer, int size);
};
