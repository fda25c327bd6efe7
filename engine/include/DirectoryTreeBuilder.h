#pragma once

#include <chrono>
#include <cstdint>

#include "EngineTypes.h"

class CSearchedPartitionInfo;
class IDrirectoryTree;
class IFileNode;
class IRecoveryFilter;
class IStorageDevice;

// Collects the nodes that every searcher of a scan reports, links them by
// parent id into one result tree per searcher type and hands finished parts
// of those trees to the tree sink.
//
// Ownership: a node that AddNode accepts belongs to the builder until the
// builder is released; a node that AddNode refuses stays with the caller.
class IDirecotryTreeBuilder {
public:
    virtual ~IDirecotryTreeBuilder() = default;

    // False when any argument is null. An empty root name becomes "Disk".
    virtual bool Initialize(const char* rootName, IDrirectoryTree* tree,
                            IRecoveryFilter* filter) = 0;
    // Offers one node; true when the builder took it.
    virtual bool AddNode(IFileNode* node, _tagSearcherType type) = 0;
    // Opens the tree of a searcher type under the searcher's id of the volume
    // root; a second call for the same type keeps the first tree.
    virtual bool AddSearcherInfo(_tagSearcherType type, long long topId) = 0;
    // Links whatever is left of a type's tree, marks what lies below deleted
    // folders as deleted and hands unconnected files over as lost files.
    virtual void FlashBuild(_tagSearcherType type) = 0;
    // Destroys the builder with every node it owns.
    virtual void Release() = 0;
    // Where recycle-bin info files are read from.
    virtual void SetPartitonDevice(CSearchedPartitionInfo* partition, IStorageDevice* device) = 0;
};

// The pause after a new tree is announced, before its first nodes arrive: a
// results window sets the tree's view up in that time.
inline constexpr std::chrono::milliseconds kTreeSetupPause{1000};

// A new builder; `restoring` when the nodes come from a saved scan result.
// `setupPause` follows each new tree's announcement: kTreeSetupPause for a
// results window, zero for a receiver that needs no time.
IDirecotryTreeBuilder* CreateTreeBuilder(bool restoring,
                                         std::chrono::milliseconds setupPause = kTreeSetupPause);
