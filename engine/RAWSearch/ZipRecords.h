#pragma once

#include <cstdint>
#include <string>

// The records of a ZIP file as a carver meets them: each is measured from its
// own header to where the next record starts.
struct ZipRecord {
    enum Kind { kLocal, kCentral, kEnd, kEnd64, kLocator };

    Kind kind = kLocal;
    uint64_t length = 0;  // from the record's first byte to the next record
    uint16_t flags = 0;   // local header: general purpose flags
    std::string name;     // local and central headers: the member's name
    // Local header whose data is followed by a descriptor holding its sizes:
    // where the next record starts is not known from the header.
    bool sizesAfterData = false;
    uint64_t dataOffset = 0;  // local header: where the member's data starts
};

enum class ZipMeasure { kOk, kBad, kShort };

constexpr uint32_t kZipLocalSignature = 0x04034B50;
constexpr uint32_t kZipEndFixedBytes = 22;

// The shared record checks: a local header with a known compression method
// and a sane name length, or any of the other record signatures.
bool IsValidZipHeader(const uint8_t* bytes, uint64_t available);

// Whether the four bytes are one of the record signatures.
bool IsZipRecordSignature(const uint8_t* bytes);

// Measures the record at `bytes`, of which `available` can be read. kShort:
// the header runs past `available`. kBad: not a record, or a name longer than
// `longestName`.
ZipMeasure MeasureZipRecord(const uint8_t* bytes, uint64_t available, uint32_t longestName,
                            ZipRecord& record);

// Whether the end record at `bytes`, `position` bytes into the file, closes a
// central directory that lies right before it. `before` bytes ahead of
// `bytes` can be read (the 64-bit locator sits 20 bytes before the record).
bool IsZipEndOfFile(const uint8_t* bytes, uint64_t position, uint64_t before);
