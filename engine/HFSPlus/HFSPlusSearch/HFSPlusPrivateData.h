#pragma once

#include <memory>

#include "SearchedPartitionInfo.h"

class CHFSPlusVolume;

// Keeps an opened volume alive for whoever reads its files later. Each copy
// holds its own share: the volume goes when the last holder lets go.
class CHFSPlusPrivateData {
public:
    CHFSPlusPrivateData() = default;
    explicit CHFSPlusPrivateData(std::shared_ptr<CHFSPlusVolume> volume)
        : volume_(std::move(volume)) {}

    CHFSPlusVolume* GetVolume() const { return volume_.get(); }
    // Lets go of this holder's share.
    void Release() { volume_.reset(); }

private:
    std::shared_ptr<CHFSPlusVolume> volume_;
};

// The partition record of a quick HFS+ search: the volume's geometry and a
// share of the opened volume (copies share it; none deletes it for the others).
class CHFSPlusSearchedPartitionInfo : public CSearchedPartitionInfo {
public:
    CHFSPlusSearchedPartitionInfo(uint32_t sectorSize, CHFSPlusPrivateData holder)
        : CSearchedPartitionInfo(sectorSize), holder_(std::move(holder)) {}

    CHFSPlusPrivateData& GetPrivateData() { return holder_; }

private:
    CHFSPlusPrivateData holder_;
};
