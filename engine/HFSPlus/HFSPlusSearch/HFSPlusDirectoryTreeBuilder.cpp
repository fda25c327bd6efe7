#include "HFSPlusDirectoryTreeBuilder.h"

#include <algorithm>

#include "Bitmap.h"
#include "DataRunList.h"
#include "FileNode.h"

CHFSPlusDirectoryTreeBuilder::CHFSPlusDirectoryTreeBuilder(IDirecotryTreeBuilder* inner,
                                                           unsigned int sectorsPerBlock,
                                                           unsigned int partitionIndex,
                                                           unsigned long long startSector)
    : inner_(inner),
      sectorsPerBlock_(sectorsPerBlock),
      partitionIndex_(partitionIndex),
      startSector_(startSector) {}

bool CHFSPlusDirectoryTreeBuilder::Initialize(const char* rootName, IDrirectoryTree* tree,
                                              IRecoveryFilter* filter) {
    return inner_ != nullptr && inner_->Initialize(rootName, tree, filter);
}

// Every allocation block of every extent, as whole bits of the map.
void CHFSPlusDirectoryTreeBuilder::MarkExtents(IFileNode* node) {
    auto* file = dynamic_cast<CFileNode*>(node);
    IDataRunList* runs = file != nullptr ? file->GetDataRunList() : nullptr;
    if (runs == nullptr || sectorsPerBlock_ == 0 || bitmap_ == nullptr ||
        bitmap_->GetBitmapData() == nullptr || node->IsDeleted() || node->IsDirectory())
        return;
    const unsigned long long perBit = std::max(1u, bitmap_->GetSectorsPerBit());
    const unsigned long long bits = static_cast<unsigned long long>(bitmap_->GetMaxBitIndex()) + 1;
    for (DataRun* run = runs->GetFirst(); run != nullptr; run = runs->GetNext()) {
        if (run->firstCluster < 0 || run->clusterCount == 0)
            continue;
        const unsigned __int128 first =
            static_cast<unsigned __int128>(run->firstCluster) * sectorsPerBlock_ + startSector_;
        const unsigned __int128 last =
            first + static_cast<unsigned __int128>(run->clusterCount) * sectorsPerBlock_ - 1;
        const unsigned long long firstBit = static_cast<unsigned long long>(first / perBit);
        if (firstBit >= bits)
            continue;
        const unsigned long long lastBit =
            std::min<unsigned long long>(static_cast<unsigned long long>(last / perBit), bits - 1);
        // SetBit takes an int count: long runs go in pieces.
        for (unsigned long long bit = firstBit; bit <= lastBit;) {
            const unsigned long long count =
                std::min<unsigned long long>(lastBit - bit + 1, 1u << 30);
            bitmap_->SetBit(static_cast<long long>(bit), 1, static_cast<unsigned int>(count));
            bit += count;
        }
    }
}

bool CHFSPlusDirectoryTreeBuilder::AddNode(IFileNode* node, _tagSearcherType type) {
    if (inner_ == nullptr || node == nullptr)
        return false;
    if (auto* file = dynamic_cast<CFileNode*>(node))
        file->SetBelongedPartition(static_cast<uint16_t>(partitionIndex_));
    MarkExtents(node);
    return inner_->AddNode(node, type);
}

bool CHFSPlusDirectoryTreeBuilder::AddSearcherInfo(_tagSearcherType type, long long topId) {
    return inner_ != nullptr && inner_->AddSearcherInfo(type, topId);
}

void CHFSPlusDirectoryTreeBuilder::FlashBuild(_tagSearcherType type) {
    if (inner_ != nullptr)
        inner_->FlashBuild(type);
}

void CHFSPlusDirectoryTreeBuilder::Release() {
    if (inner_ != nullptr)
        inner_->Release();
}

void CHFSPlusDirectoryTreeBuilder::SetPartitonDevice(CSearchedPartitionInfo* partition,
                                                     IStorageDevice* device) {
    if (inner_ != nullptr)
        inner_->SetPartitonDevice(partition, device);
}
