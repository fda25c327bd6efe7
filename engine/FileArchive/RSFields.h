#pragma once

#include <cstdint>
#include <string>

#include "RSData.h"

// Field-by-field little-endian writes into the frame open for writing. A
// write the archive refuses raises, so a save never reports success over a
// record that did not reach the file.
class RSFieldWriter {
public:
    explicit RSFieldWriter(IRSData& archive) : archive_(archive) {}

    void U16(uint16_t value);
    void U32(uint32_t value);
    void U64(uint64_t value);
    void I64(int64_t value) { U64(static_cast<uint64_t>(value)); }
    void F64(double value);
    void Bytes(const void* data, uint32_t count);
    // A u32 byte count and the bytes, without a NUL.
    void String(const char* text, size_t length);
    void String(const std::string& text) { String(text.data(), text.size()); }

private:
    IRSData& archive_;
};

// Reads of the frame open for reading that never pass its end: a field that
// would reach past it raises RS_ERROR_RECORD_DAMAGED instead of leaving the
// caller with bytes that were never read.
class RSFieldReader {
public:
    explicit RSFieldReader(IRSData& archive);

    uint16_t U16();
    uint32_t U32();
    uint64_t U64();
    int64_t I64() { return static_cast<int64_t>(U64()); }
    double F64();
    void Bytes(void* data, uint32_t count);
    // Passes over `count` bytes, as for a field too long to be taken over.
    void Skip(uint64_t count);
    uint32_t Remaining() const { return size_ - consumed_; }

private:
    void Require(uint64_t count) const;

    IRSData& archive_;
    uint32_t size_;
    uint32_t consumed_ = 0;
};
