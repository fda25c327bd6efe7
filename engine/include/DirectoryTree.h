#pragma once

#include "FileNode.h"

// Receiver of finished result trees. The nodes stay owned by the engine and
// remain valid until the tree builder is released with its controller.
class IDrirectoryTree {
public:
    virtual ~IDrirectoryTree() = default;
    // A batch of nodes just linked into a tree; lost is 1 for the lost-files batch.
    virtual void ShowNodes(IFileNode** nodes, unsigned int count, int lost) = 0;
    // The top folder of a new tree, announced before its first batch.
    virtual void ShowFilesystemNode(IFilesystemNode* root) = 0;
};
