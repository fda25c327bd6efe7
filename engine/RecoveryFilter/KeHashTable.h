#pragma once

#include <array>
#include <cstdint>

// A fixed-size string hash table. Keys are not stored: a slot is identified by
// two further hashes of its key. Hashes ignore ASCII case.
template <class Value, unsigned int Slots>
class CKeHashTable {
    static_assert((Slots & (Slots - 1)) == 0, "slot count must be a power of two");

public:
    CKeHashTable() { InitliazeCryptTable(); }

    void InitliazeCryptTable() {
        uint32_t seed = 0x00100001;
        for (unsigned int column = 0; column < 256; ++column) {
            for (unsigned int row = 0; row < 5; ++row) {
                uint32_t high = (seed * 125 + 3) % 0x2AAAAB;
                seed = (high * 125 + 3) % 0x2AAAAB;
                cryptTable_[row][column] = (high << 16) | (seed & 0xFFFF);
            }
        }
    }

    // kind 0 picks the first slot, kinds 1 and 2 identify the key.
    uint32_t GetHashCode(const char* key, unsigned int kind) const {
        uint32_t h1 = 0x7FED7FED;
        uint32_t h2 = 0xEEEEEEEE;
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); *p; ++p) {
            uint32_t c = *p;
            if (c >= 'a' && c <= 'z')
                c -= 'a' - 'A';
            h1 = (h1 + h2) ^ cryptTable_[kind][c];
            h2 = h2 * 97 + c + h1;
        }
        return h1;
    }

    // The slot holding `key`, or -1.
    int GetHashTablePos(const char* key, int /*unused*/ = 0) const {
        if (!key)
            return -1;
        const uint32_t start = GetHashCode(key, 0) & (Slots - 1);
        const uint32_t check1 = GetHashCode(key, 1);
        const uint32_t check2 = GetHashCode(key, 2);
        uint32_t pos = start;
        do {
            const Entry& entry = entries_[pos];
            // Slots are never freed, so a key lies before the first empty slot
            // of its probe run: a miss ends there instead of circling the table.
            if (!entry.used)
                return -1;
            if (entry.check1 == check1 && entry.check2 == check2)
                return static_cast<int>(pos);
            pos = (pos + 1) & (Slots - 1);
        } while (pos != start);
        return -1;
    }

    // False for a null key or a full table. A key inserted twice takes two slots.
    bool InsertNode(const char* key, const Value& value) {
        if (!key)
            return false;
        const uint32_t start = GetHashCode(key, 0) & (Slots - 1);
        uint32_t pos = start;
        do {
            Entry& entry = entries_[pos];
            if (!entry.used) {
                entry.value = value;
                entry.used = 1;
                entry.check1 = GetHashCode(key, 1);
                entry.check2 = GetHashCode(key, 2);
                return true;
            }
            pos = (pos + 1) & (Slots - 1);
        } while (pos != start);
        return false;
    }

    bool FindNode(const char* key, Value& value) const {
        const int pos = GetHashTablePos(key, 0);
        if (pos < 0)
            return false;
        value = entries_[pos].value;
        return true;
    }

private:
    struct Entry {
        Value value{};
        uint32_t used = 0;
        uint32_t check1 = 0;
        uint32_t check2 = 0;
    };

    std::array<Entry, Slots> entries_{};
    uint32_t cryptTable_[5][256] = {};
};
