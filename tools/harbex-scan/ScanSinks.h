#pragma once

#include <cstdio>
#include <set>
#include <vector>

#include "DirectoryTree.h"
#include "Progress.h"

// Receives the result trees of a scan; the nodes stay the engine's.
class CollectingTree : public IDrirectoryTree {
public:
    void ShowNodes(IFileNode** nodes, unsigned int count, int lost) override;
    void ShowFilesystemNode(IFilesystemNode* root) override;

    const std::vector<IFileNode*>& nodes() const { return nodes_; }
    // The searcher types of the trees announced so far.
    const std::set<_tagSearcherType>& treeTypes() const { return treeTypes_; }

private:
    std::vector<IFileNode*> nodes_;
    std::set<_tagSearcherType> treeTypes_;
};

// Shows progress on standard error: one updating line on a terminal,
// nothing elsewhere. Never stops the scan.
class ConsoleProgress : public IProgress {
public:
    ConsoleProgress();
    int UpdateProgress(_PROGRESS_INFO* info) override;
    int Continued() override { return 1; }
    int shouldBuild() override { return 1; }
    // Ends the updating line.
    void Close();

    RESULT_CODE lastResult() const { return lastResult_; }

private:
    bool terminal_;
    int shown_ = -1;
    RESULT_CODE lastResult_ = 0;
};
