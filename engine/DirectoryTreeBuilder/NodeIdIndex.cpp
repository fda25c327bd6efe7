#include "NodeIdIndex.h"

#include <algorithm>

std::span<const uint32_t> NodeIdIndex::Find(long long id) const {
    auto it = slots_.find(id);
    if (it == slots_.end()) {
        return {};
    }
    const Slot& slot = it->second;
    if (slot.shared == kInline) {
        return {&slot.first, 1};
    }
    return shared_[slot.shared];
}

void NodeIdIndex::Add(long long id, uint32_t position) {
    auto [it, inserted] = slots_.try_emplace(id, Slot{position});
    if (inserted) {
        return;
    }
    Slot& slot = it->second;
    if (slot.shared == kInline) {
        slot.shared = static_cast<uint32_t>(shared_.size());
        shared_.push_back({slot.first});
    }
    shared_[slot.shared].push_back(position);
}

void NodeIdIndex::Remove(long long id, uint32_t position) {
    auto it = slots_.find(id);
    if (it == slots_.end()) {
        return;
    }
    Slot& slot = it->second;
    if (slot.shared == kInline) {
        if (slot.first == position) {
            slots_.erase(it);
        }
        return;
    }
    std::vector<uint32_t>& list = shared_[slot.shared];
    list.erase(std::remove(list.begin(), list.end(), position), list.end());
    if (list.empty()) {
        // The emptied list stays in shared_ until Clear(); ids are rarely removed.
        slots_.erase(it);
    } else {
        slot.first = list.front();
    }
}

void NodeIdIndex::Clear() {
    slots_.clear();
    shared_.clear();
}
