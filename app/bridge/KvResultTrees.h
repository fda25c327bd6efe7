#pragma once

#include <atomic>
#include <cstdint>
#include <unordered_map>
#include <memory>
#include <vector>

#include "OpNodeData.h"

class IFileNode;

// The results window's four root arrays, handed to the facade once.
struct KvTreeRoots {
    OpNodeArray* path = nullptr;
    OpNodeArray* type = nullptr;
    OpNodeArray* created = nullptr;
    OpNodeArray* modified = nullptr;
};

// What one refresh of the trees adds: new rows with where they go, and files
// appended to rows. Worker threads make it under the tree lock from rows no
// window has seen yet; the main thread links it into the trees.
class KvTreeChanges {
public:
    explicit KvTreeChanges(uint64_t generation) : generation_(generation) {}

    // `parent` null: onto the roots of `tree`. Sorted rows go before the
    // first sibling whose name is greater.
    void AddRow(int tree, OpNodeRef row, OpNodeRef parent, bool sorted = false);
    void AddFile(const OpNodeRef& row, IFileNode* file);
    // The category rows go into the type roots when those are empty.
    void OfferTypeRoots(OpNodeArray categories) { typeRoots_ = std::move(categories); }
    // A date tree's root goes into its roots when those are empty.
    void OfferDateRoot(int tree, OpNodeRef root);
    // Empties the trees first; `uncheck` also clears the marks of the type tree's categories.
    void ClearTreesFirst(bool uncheck, OpNodeArray categories);
    // Kept alive until the trees no longer show it.
    void Retire(std::shared_ptr<void> owned) { retired_.push_back(std::move(owned)); }

    bool empty() const;

private:
    friend class KvResultTrees;
    struct RowLink {
        int tree;
        OpNodeRef row;
        OpNodeRef parent;
        bool sorted;
    };
    struct FileLink {
        OpNodeRef row;
        std::vector<IFileNode*> files;
    };

    uint64_t generation_;
    bool clear_ = false;
    bool uncheck_ = false;
    OpNodeArray clearedCategories_;
    std::vector<RowLink> rows_;
    std::vector<FileLink> files_;
    std::unordered_map<OpNodeData*, size_t> fileLinkOf_;
    OpNodeData* lastRow_ = nullptr;
    size_t lastLink_ = 0;
    OpNodeArray typeRoots_;
    OpNodeRef dateRoots_[2];
    std::vector<std::shared_ptr<void>> retired_;
};

// Owner of the root arrays and of the publication of changes: the trees and
// their rows are read and changed on the main thread only.
class KvResultTrees {
public:
    static KvResultTrees& instance();

    bool SetRoots(const KvTreeRoots* roots);
    // The generation changes whenever the trees are emptied; changes made
    // for an earlier one are dropped.
    uint64_t Generation() const { return generation_; }
    uint64_t NextGeneration() { return ++generation_; }
    // Applies at once on the main thread; from another thread it queues the
    // changes on the main thread, ahead of any post queued after this call.
    void Publish(std::unique_ptr<KvTreeChanges> changes);
    // Main thread only.
    OpNodeArray* Roots(int tree) const;

private:
    KvResultTrees() = default;
    void Apply(KvTreeChanges& changes);

    std::atomic<uint64_t> generation_{1};
    KvTreeRoots roots_;  // main thread
};

// Before the first child whose name is greater, ignoring case; -1 when none is.
int GetDateInsertIndex(const QString& name, const OpNodeArray& children);
