#include "KnownFiles.h"

#include <algorithm>
#include <memory>

#include "Bitmap.h"
#include "DataRunList.h"
#include "FileNode.h"
#include "FileSystemSearcher.h"
#include "NodePartition.h"
#include "SearchedPartitionInfo.h"

namespace {

// The largest map made here: 2^27 bits, 16 MiB.
constexpr int64_t kMostBits = int64_t{1} << 27;

bool MakeBitmap(TBitmap& bitmap, int64_t totalSectors) {
    if (bitmap.GetBitmapData() != nullptr)
        return true;
    if (totalSectors <= 0)
        return false;
    unsigned int perBit = 1;
    while ((totalSectors + perBit - 1) / perBit > kMostBits)
        perBit *= 2;
    return bitmap.CreateBitmap((totalSectors + perBit - 1) / perBit, perBit);
}

void MarkSectors(TBitmap& bitmap, int64_t first, int64_t count, int64_t totalSectors) {
    if (first < 0 || count <= 0 || first >= totalSectors)
        return;
    const int64_t last = std::min(first + count, totalSectors) - 1;
    const int64_t perBit = std::max(1u, bitmap.GetSectorsPerBit());
    int64_t bit = first / perBit;
    const int64_t lastBit = last / perBit;
    while (bit <= lastBit) {
        const auto chunk = static_cast<unsigned int>(std::min<int64_t>(lastBit - bit + 1, 1 << 30));
        bitmap.SetBit(bit, 1, chunk);
        bit += chunk;
    }
}

}  // namespace

void CKnownFileCollector::ShowNodes(IFileNode** nodes, unsigned int count, int lost) {
    for (unsigned int i = 0; i < count; ++i) {
        IFileNode* node = nodes[i];
        if (node == nullptr || node->GetSearcheType() != type_ || node->IsDirectory() ||
            node->IsDeleted()) {
            continue;
        }
        if (auto* file = dynamic_cast<CFileNode*>(node))
            files_.push_back(file);
    }
    if (target_ != nullptr)
        target_->ShowNodes(nodes, count, lost);
}

void CKnownFileCollector::ShowFilesystemNode(IFilesystemNode* root) {
    if (target_ != nullptr)
        target_->ShowFilesystemNode(root);
}

void MarkKnownFiles(TBitmap& bitmap, IFileSystemSearchController& searcher,
                    const std::vector<CFileNode*>& files, int64_t totalSectors) {
    if (files.empty())
        return;
    const int count = searcher.GetSearchedPartitionInfo(nullptr, 0);
    if (count <= 0 || count > 0x10000)
        return;
    std::vector<CSearchedPartitionInfo*> partitions(static_cast<size_t>(count), nullptr);
    const int filled = std::min(count, searcher.GetSearchedPartitionInfo(partitions.data(), count));
    std::vector<std::unique_ptr<CSearchedPartitionInfo>> owned;
    for (CSearchedPartitionInfo* partition : partitions)
        owned.emplace_back(partition);
    partitions.resize(static_cast<size_t>(std::max(filled, 0)));
    partitions.erase(std::remove(partitions.begin(), partitions.end(), nullptr), partitions.end());
    if (partitions.empty() || !MakeBitmap(bitmap, totalSectors))
        return;

    for (CFileNode* file : files) {
        const CSearchedPartitionInfo* partition = ChooseNodePartition(partitions, file);
        IDataRunList* runs = file->GetDataRunList();
        if (partition == nullptr || runs == nullptr || runs->IsResident())
            continue;
        const int64_t perCluster = partition->sectorsPerCluster;
        for (DataRun* run = runs->GetFirst(); run != nullptr; run = runs->GetNext()) {
            int64_t first = 0;
            int64_t sectors = 0;
            if (run->firstCluster < 0 || run->clusterCount > uint64_t(INT64_MAX) ||
                __builtin_mul_overflow(run->firstCluster, perCluster, &first) ||
                __builtin_add_overflow(first, int64_t(partition->firstDataSector), &first) ||
                __builtin_mul_overflow(int64_t(run->clusterCount), perCluster, &sectors)) {
                continue;
            }
            MarkSectors(bitmap, first, sectors, totalSectors);
        }
    }
}
