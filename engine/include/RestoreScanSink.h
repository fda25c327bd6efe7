#pragma once

#include <vector>

class CSearchedPartitionInfo;
class IDirecotryTreeBuilder;
class IProgress;
class IStorageDevice;

// A saved scan result replayed in place of the searchers. The scan
// controllers read it; whoever loads the result owns it.
class RestoreScanSink {
public:
    virtual ~RestoreScanSink() = default;
    // Replays the saved roots, partitions and nodes into the builder.
    virtual void SetDirecotryTreeBuilder(IDirecotryTreeBuilder* builder, IProgress* progress,
                                         IStorageDevice* device) = 0;
    // The saved partitions of a searcher type; empty when there are none.
    virtual std::vector<CSearchedPartitionInfo*>& GetSearchedPartition(int type) = 0;
};
