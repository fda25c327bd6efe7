#pragma once

#include <cstdint>
#include <memory>

// One bit per group of device sectors, shared by the block searchers of a
// complete scan: a set bit marks sectors already accounted for.
// Bit i lives in byte i / 8 at bit position i % 8, least significant first.
class TBitmap {
public:
    TBitmap() = default;
    ~TBitmap() { DestroyBitmap(); }
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    // Allocates zeroed room for `bitCount` bits, replacing any earlier map.
    // False for a count below 1, a map of 4 GiB or more, or no memory.
    bool CreateBitmap(long long bitCount, unsigned int sectorsPerBit);

    // Sets (value nonzero) or clears `count` bits from `index`, stopping at the
    // highest index. False when `index` lies outside the map.
    bool SetBit(long long index, int value, unsigned int count);

    // Nonzero when the bit is set; 0 outside the map.
    int GetBit(long long index) const;

    // Every byte 0 when `clear` is nonzero, 0xFF otherwise; false without bits.
    bool FillBitmap(int clear);

    bool DestroyBitmap();

    const uint8_t* GetBitmapData() const { return bits_.get(); }
    long long GetMaxBitIndex() const { return highestIndex_; }
    uint64_t GetBitmapSize() const { return byteCount_; }
    unsigned int GetSectorsPerBit() const { return sectorsPerBit_; }

private:
    std::unique_ptr<uint8_t[]> bits_;
    uint64_t byteCount_ = 0;
    long long highestIndex_ = 0;
    unsigned int sectorsPerBit_ = 1;
};
