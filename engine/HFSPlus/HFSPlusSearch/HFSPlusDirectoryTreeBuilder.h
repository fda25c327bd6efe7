#pragma once

#include <cstdint>

#include "DirectoryTreeBuilder.h"

class TBitmap;

// Stands in front of a scan's tree builder while a found volume is listed:
// stamps the volume's partition index on every node and marks the device
// sectors of every existing file in the scan's sector bit map, so that the
// signature search does not carve those files again.
class CHFSPlusDirectoryTreeBuilder : public IDirecotryTreeBuilder {
public:
    // `sectorsPerBlock`: allocation block size / device sector size;
    // `startSector`: the volume's first sector on the scanned device.
    CHFSPlusDirectoryTreeBuilder(IDirecotryTreeBuilder* inner, unsigned int sectorsPerBlock,
                                 unsigned int partitionIndex, unsigned long long startSector);

    bool Initialize(const char* rootName, IDrirectoryTree* tree, IRecoveryFilter* filter) override;
    bool AddNode(IFileNode* node, _tagSearcherType type) override;
    bool AddSearcherInfo(_tagSearcherType type, long long topId) override;
    void FlashBuild(_tagSearcherType type) override;
    // Releases the inner builder: the adapter itself is deleted by its owner.
    void Release() override;
    void SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice* device) override;

    void SetBitmap(TBitmap* bitmap) { bitmap_ = bitmap; }

private:
    void MarkExtents(IFileNode* node);

    IDirecotryTreeBuilder* inner_;
    TBitmap* bitmap_ = nullptr;
    unsigned int sectorsPerBlock_;
    unsigned int partitionIndex_;
    unsigned long long startSector_;
};
