#pragma once

#include <bit>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "HugePageAllocator.h"

// A hash map from 64-bit node ids to small values, stored in one flat array
// (open addressing, linear probing). A scan may record millions of ids; a
// node-based map would cost a heap block and a cache miss per id.
// The smallest id marks free slots, so that id alone is kept beside the array.
template <typename Value>
class FlatIdMap {
public:
    Value* Find(long long key) {
        if (key == kFree) {
            return hasFreeKey_ ? &freeKeyValue_ : nullptr;
        }
        if (slots_.empty()) {
            return nullptr;
        }
        for (size_t i = Home(key);; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.key == key) {
                return &slot.value;
            }
            if (slot.key == kFree) {
                return nullptr;
            }
        }
    }
    const Value* Find(long long key) const { return const_cast<FlatIdMap*>(this)->Find(key); }

    // The value under `key` and whether it was inserted (as `initial`) just now.
    std::pair<Value*, bool> Insert(long long key, const Value& initial) {
        if (key == kFree) {
            const bool inserted = !hasFreeKey_;
            if (inserted) {
                hasFreeKey_ = true;
                freeKeyValue_ = initial;
            }
            return {&freeKeyValue_, inserted};
        }
        if ((used_ + 1) * 4 > slots_.size() * 3) {
            Grow();
        }
        for (size_t i = Home(key);; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.key == kFree) {
                slot = {key, initial};
                ++used_;
                return {&slot.value, true};
            }
            if (slot.key == key) {
                return {&slot.value, false};
            }
        }
    }

    void Erase(long long key) {
        if (key == kFree) {
            hasFreeKey_ = false;
            return;
        }
        if (slots_.empty()) {
            return;
        }
        size_t hole = Home(key);
        for (;; hole = (hole + 1) & mask_) {
            if (slots_[hole].key == kFree) {
                return;
            }
            if (slots_[hole].key == key) {
                break;
            }
        }
        // Shift later members of the probe run back so lookups never stop early.
        for (size_t next = (hole + 1) & mask_; slots_[next].key != kFree;
             next = (next + 1) & mask_) {
            const size_t home = Home(slots_[next].key);
            const bool movable =
                hole <= next ? (home <= hole || home > next) : (home <= hole && home > next);
            if (movable) {
                slots_[hole] = slots_[next];
                hole = next;
            }
        }
        slots_[hole].key = kFree;
        --used_;
    }

    void Clear() {
        decltype(slots_)().swap(slots_);
        used_ = 0;
        mask_ = 0;
        shift_ = 0;
        hasFreeKey_ = false;
    }

    size_t Size() const { return used_ + (hasFreeKey_ ? 1 : 0); }

private:
    static constexpr long long kFree = std::numeric_limits<long long>::min();

    struct Slot {
        long long key;
        Value value;
    };

    size_t Home(long long key) const {
        // splitmix64 finaliser: ids often come in dense runs, which must not
        // cluster. The top bits pick the slot, so a doubled table keeps the
        // order of the old one and growing writes it front to back.
        uint64_t x = static_cast<uint64_t>(key);
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        x ^= x >> 31;
        return static_cast<size_t>(x >> shift_);
    }

    void Grow() {
        std::vector<Slot, HugePageAllocator<Slot>> old = std::move(slots_);
        slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{kFree, Value{}});
        mask_ = slots_.size() - 1;
        shift_ = 64 - std::countr_zero(slots_.size());
        // Every old key is distinct and not kFree: each only needs a free slot.
        for (const Slot& slot : old) {
            if (slot.key == kFree) {
                continue;
            }
            size_t i = Home(slot.key);
            while (slots_[i].key != kFree) {
                i = (i + 1) & mask_;
            }
            slots_[i] = slot;
        }
    }

    std::vector<Slot, HugePageAllocator<Slot>> slots_;
    size_t used_ = 0;
    size_t mask_ = 0;
    int shift_ = 0;  // 64 minus the log2 of the slot count
    bool hasFreeKey_ = false;
    Value freeKeyValue_{};
};
