#pragma once

#include <cstddef>
#include <cstdint>

#include "HugePageAllocator.h"

// A large byte array of the raw search (its block buffer, the look-back ring)
// on huge pages where the kernel allows them. The bytes are not cleared: the
// owner clears what it reads before writing it.
class RawBlockMemory {
public:
    RawBlockMemory() = default;
    ~RawBlockMemory() { Free(); }
    RawBlockMemory(const RawBlockMemory&) = delete;
    RawBlockMemory& operator=(const RawBlockMemory&) = delete;

    // False when the memory cannot be had; any earlier array is freed first.
    bool Allocate(size_t bytes) {
        Free();
        try {
            data_ = HugePageAllocator<uint8_t>().allocate(bytes);
        } catch (const std::bad_alloc&) {
            return false;
        }
        size_ = bytes;
        return true;
    }
    void Free() {
        if (data_ != nullptr)
            HugePageAllocator<uint8_t>().deallocate(data_, size_);
        data_ = nullptr;
        size_ = 0;
    }

    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return data_ == nullptr; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};
