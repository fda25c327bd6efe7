#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "FlatIdMap.h"

// Node ids mapped to the positions of the nodes recorded under them. Several
// nodes may share an id (a deleted and a live record, copies on different
// partitions), but one node per id is by far the usual case, so that one is
// kept inline and only shared ids take a list of their own.
class NodeIdIndex {
public:
    // Positions recorded under `id`, oldest first; valid until the next change.
    std::span<const uint32_t> Find(long long id) const;
    void Add(long long id, uint32_t position);
    // Records `position` under a new `id` and returns nothing; for a known id
    // records nothing and returns the positions already there. Saves a second
    // lookup when most ids are new.
    std::span<const uint32_t> AddIfNew(long long id, uint32_t position);
    void Remove(long long id, uint32_t position);
    void Clear();

private:
    static constexpr uint32_t kInline = UINT32_MAX;
    struct Slot {
        uint32_t first = 0;
        uint32_t shared = kInline;  // else the index of its list in shared_
    };
    std::span<const uint32_t> PositionsOf(const Slot& slot) const;

    FlatIdMap<Slot> slots_;
    std::vector<std::vector<uint32_t>> shared_;
};
