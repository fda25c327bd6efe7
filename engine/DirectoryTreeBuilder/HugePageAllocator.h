#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <limits>
#include <new>

// Allocates the builder's large tables, which are read at random (a slot per
// node id, an entry per node), on huge pages where the kernel allows them: a
// scan of millions of nodes otherwise spends much of its time on TLB misses.
// Small blocks come from the ordinary heap.
template <typename T>
class HugePageAllocator {
public:
    using value_type = T;

    HugePageAllocator() = default;
    template <typename U>
    HugePageAllocator(const HugePageAllocator<U>& /*other*/) {}

    T* allocate(std::size_t count) {
        if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kHugePage) {
            return static_cast<T*>(::operator new(bytes));
        }
        void* block = ::operator new (Rounded(bytes), std::align_val_t{kHugePage});
        madvise(block, Rounded(bytes), MADV_HUGEPAGE);  // only a hint; fine if refused
        return static_cast<T*>(block);
    }

    void deallocate(T* block, std::size_t count) {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < kHugePage) {
            ::operator delete(block);
        } else {
            ::operator delete (block, std::align_val_t{kHugePage});
        }
    }

    template <typename U>
    bool operator==(const HugePageAllocator<U>& /*other*/) const {
        return true;
    }

private:
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;

    static std::size_t Rounded(std::size_t bytes) {
        return (bytes + kHugePage - 1) / kHugePage * kHugePage;
    }
};
