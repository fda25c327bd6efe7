#pragma once

#include <cstdint>

class IStorageDevice;

// Copies the value of the first unnamed data attribute of the FILE record at
// `recordSector` when that attribute is resident and fits `capacity` bytes.
bool GetResidentDataRunsStream(uint64_t recordSector, IStorageDevice& device, int64_t* length,
                               uint8_t* buffer, uint32_t capacity);

// The value of a resident attribute; false when it is longer than `capacity`.
bool GetResidentAttributeDatafromAttributeBuffer(const uint8_t* attribute, uint8_t* buffer,
                                                 uint32_t capacity, int64_t* length);
