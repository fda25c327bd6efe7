#pragma once

#include <memory>
#include <vector>

#include "DataRunList.h"
#include "FileReader.h"
#include "HFSPlusDecmpfs.h"

class CFileNode;
class CHFSPlusVolume;

// The uncompressed bytes of a compressed HFS+ file: its decmpfs attribute from
// the volume, its resource fork through the node's extent list. Nothing is read
// before the first request; neither the volume nor the node is owned.
class CHFSPlusCompressFileReader : public IFileReader {
public:
    CHFSPlusCompressFileReader(CHFSPlusVolume* volume, CFileNode* node);
    explicit CHFSPlusCompressFileReader(CHFSPlusCompressFileReader* other);

    // Bytes placed in `buffer`; 0 when nothing can be read. `error` is not used.
    uint32_t ReadData(int64_t offset, char* buffer, uint32_t length, int* error) override;
    IFileReader* Clone() override;
    // The node's size, no more than the compressed data can give.
    int64_t GetDataSize() const override;
    uint32_t IsCompressFile() override;
    void Release() override;

private:
    // Opens the attribute and the fork's table once; false when they cannot be used.
    bool Prepare() const;
    uint64_t ReadFork(uint64_t offset, uint8_t* into, uint64_t length) const;

    CHFSPlusVolume* volume_;
    CFileNode* node_;
    mutable bool prepared_ = false;
    mutable bool usable_ = false;
    mutable CHFSPlusDecmpfs decmpfs_;
    mutable std::vector<DataRun> forkRuns_;
};
