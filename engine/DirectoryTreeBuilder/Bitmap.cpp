#include "Bitmap.h"

#include <cstring>
#include <limits>
#include <new>

bool TBitmap::CreateBitmap(long long bitCount, unsigned int sectorsPerBit) {
    if (bitCount < 1) {
        return false;
    }
    DestroyBitmap();
    const uint64_t bytes = (static_cast<uint64_t>(bitCount) + 7) / 8;
    if (bytes > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    bits_.reset(new (std::nothrow) uint8_t[bytes]());
    if (!bits_) {
        return false;
    }
    byteCount_ = bytes;
    highestIndex_ = bitCount - 1;
    sectorsPerBit_ = sectorsPerBit;
    return true;
}

bool TBitmap::SetBit(long long index, int value, unsigned int count) {
    if (!bits_ || index < 0 || index > highestIndex_) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    long long last = index + static_cast<long long>(count) - 1;
    if (last > highestIndex_) {
        last = highestIndex_;
    }
    long long i = index;
    // Loose bits up to a byte boundary, whole bytes, then the loose tail.
    for (; i <= last && i % 8 != 0; ++i) {
        const uint8_t mask = static_cast<uint8_t>(1u << (i % 8));
        bits_[i / 8] = value ? (bits_[i / 8] | mask) : (bits_[i / 8] & ~mask);
    }
    const long long wholeBytes = (last - i + 1) / 8;
    if (wholeBytes > 0) {
        std::memset(&bits_[i / 8], value ? 0xFF : 0x00, static_cast<size_t>(wholeBytes));
        i += wholeBytes * 8;
    }
    for (; i <= last; ++i) {
        const uint8_t mask = static_cast<uint8_t>(1u << (i % 8));
        bits_[i / 8] = value ? (bits_[i / 8] | mask) : (bits_[i / 8] & ~mask);
    }
    return true;
}

int TBitmap::GetBit(long long index) const {
    if (!bits_ || index < 0 || index > highestIndex_) {
        return 0;
    }
    return (bits_[index / 8] >> (index % 8)) & 1;
}

bool TBitmap::FillBitmap(int clear) {
    if (!bits_) {
        return false;
    }
    std::memset(bits_.get(), clear ? 0x00 : 0xFF, static_cast<size_t>(byteCount_));
    return true;
}

bool TBitmap::DestroyBitmap() {
    bits_.reset();
    byteCount_ = 0;
    highestIndex_ = 0;
    return true;
}
