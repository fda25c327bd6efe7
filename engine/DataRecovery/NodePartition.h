#pragma once

#include <vector>

class CSearchedPartitionInfo;
class IFileNode;

// The partition a found file lies on, among those its searcher reported: the
// one with the node's partition index, else the first whose bounds and
// cluster size fit the node's metadata sector and extents, else the first.
CSearchedPartitionInfo* ChooseNodePartition(const std::vector<CSearchedPartitionInfo*>& partitions,
                                            IFileNode* node);

// Orders partitions by descending score, null records last.
void SortPartitionsByScore(std::vector<CSearchedPartitionInfo*>& partitions);
