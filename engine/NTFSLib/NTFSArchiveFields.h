#pragma once

#include <cstdint>
#include <type_traits>

#include "RSData.h"

// One field of a saved record: its bytes as they stand in memory (all ours are
// little-endian integers), one archive call each.
namespace NTFSArchiveFields {

template <typename T>
bool Write(IRSData& archive, const T& value) {
    static_assert(std::is_integral_v<T>);
    return archive.WriteCurFrame(&value, sizeof value);
}

// `value` is 0 when the frame ends before it.
template <typename T>
bool Read(IRSData& archive, T& value) {
    static_assert(std::is_integral_v<T>);
    value = 0;
    return archive.ReadCurFrame(&value, sizeof value);
}

}  // namespace NTFSArchiveFields
