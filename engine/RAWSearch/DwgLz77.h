#pragma once

#include <cstddef>
#include <cstdint>

namespace BruteForce {

// Unpacks the LZ77 variant that AutoCAD 2007 drawings use for their file
// header: literal runs (stored in a shuffled byte order) and copies from
// what was already written. Every read of `input` and every write of
// `output` is bounded; a stream that would run past either end, or copy from
// before the output's start, fails. `produced` is the output length.
bool DecompressDwgLz77(const uint8_t* input, size_t inputSize, uint8_t* output, size_t capacity,
                       size_t& produced);

}  // namespace BruteForce
