#include "NodeIdIndex.h"

#include <algorithm>

std::span<const uint32_t> NodeIdIndex::Find(long long id) const {
    const Slot* found = slots_.Find(id);
    if (!found) {
        return {};
    }
    return PositionsOf(*found);
}

std::span<const uint32_t> NodeIdIndex::PositionsOf(const Slot& slot) const {
    if (slot.shared == kInline) {
        return {&slot.first, 1};
    }
    return shared_[slot.shared];
}

std::span<const uint32_t> NodeIdIndex::AddIfNew(long long id, uint32_t position) {
    auto [found, inserted] = slots_.Insert(id, Slot{position});
    if (inserted) {
        return {};
    }
    return PositionsOf(*found);
}

void NodeIdIndex::Add(long long id, uint32_t position) {
    auto [found, inserted] = slots_.Insert(id, Slot{position});
    if (inserted) {
        return;
    }
    Slot& slot = *found;
    if (slot.shared == kInline) {
        slot.shared = static_cast<uint32_t>(shared_.size());
        shared_.push_back({slot.first});
    }
    shared_[slot.shared].push_back(position);
}

void NodeIdIndex::Remove(long long id, uint32_t position) {
    Slot* found = slots_.Find(id);
    if (!found) {
        return;
    }
    Slot& slot = *found;
    if (slot.shared == kInline) {
        if (slot.first == position) {
            slots_.Erase(id);
        }
        return;
    }
    std::vector<uint32_t>& list = shared_[slot.shared];
    list.erase(std::remove(list.begin(), list.end(), position), list.end());
    if (list.empty()) {
        // The emptied list stays in shared_ until Clear(); ids are rarely removed.
        slots_.Erase(id);
    } else {
        slot.first = list.front();
    }
}

void NodeIdIndex::Clear() {
    slots_.Clear();
    shared_.clear();
}
