#include "RSFields.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "ByteOrder.h"

namespace {

template <typename T>
void PutLE(uint8_t* bytes, T value) {
    for (size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
}

}  // namespace

void RSFieldWriter::U16(uint16_t value) {
    uint8_t bytes[2];
    PutLE(bytes, value);
    Bytes(bytes, sizeof bytes);
}

void RSFieldWriter::U32(uint32_t value) {
    uint8_t bytes[4];
    PutLE(bytes, value);
    Bytes(bytes, sizeof bytes);
}

void RSFieldWriter::U64(uint64_t value) {
    uint8_t bytes[8];
    PutLE(bytes, value);
    Bytes(bytes, sizeof bytes);
}

void RSFieldWriter::F64(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    U64(bits);
}

void RSFieldWriter::Bytes(const void* data, uint32_t count) {
    if (!archive_.WriteCurFrame(data, count))
        throw CRSException(RS_ERROR_WRITE_FRAME);
}

void RSFieldWriter::String(const char* text, size_t length) {
    if (length > std::numeric_limits<uint32_t>::max())
        throw CRSException(RS_ERROR_TOO_LARGE);
    U32(static_cast<uint32_t>(length));
    Bytes(text, static_cast<uint32_t>(length));
}

RSFieldReader::RSFieldReader(IRSData& archive) : archive_(archive), size_(archive.GetFrameSize()) {}

void RSFieldReader::Require(uint64_t count) const {
    if (count > Remaining())
        throw CRSException(RS_ERROR_RECORD_DAMAGED);
}

void RSFieldReader::Bytes(void* data, uint32_t count) {
    Require(count);
    archive_.ReadCurFrame(data, count);
    consumed_ += count;
}

void RSFieldReader::Skip(uint64_t count) {
    Require(count);
    uint8_t scratch[4096];
    while (count > 0) {
        const uint32_t step = static_cast<uint32_t>(std::min<uint64_t>(count, sizeof scratch));
        Bytes(scratch, step);
        count -= step;
    }
}

uint16_t RSFieldReader::U16() {
    uint8_t bytes[2];
    Bytes(bytes, sizeof bytes);
    return ReadLE16(bytes);
}

uint32_t RSFieldReader::U32() {
    uint8_t bytes[4];
    Bytes(bytes, sizeof bytes);
    return ReadLE32(bytes);
}

uint64_t RSFieldReader::U64() {
    uint8_t bytes[8];
    Bytes(bytes, sizeof bytes);
    return ReadLE64(bytes);
}

double RSFieldReader::F64() {
    const uint64_t bits = U64();
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
