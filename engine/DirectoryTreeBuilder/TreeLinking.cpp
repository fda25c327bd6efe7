#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

#include "CDirectoryTreeBuilder.h"
#include "DirectoryTree.h"
#include "RecoveryFilter.h"

// Linking works incrementally: a pass looks only at the nodes that arrived
// since the last pass and at the nodes that were waiting for a parent id that
// has since been recorded, so a scan of millions of nodes never rescans what
// is still pending. A node links upwards as far as its ancestors are known;
// when a chain reaches the top folder, everything hanging below it is shown.
//
// The link and id accessors are CFileNode's own (no node class overrides
// them), so they are called directly: each step of a climb or of a walk down
// a tree makes several of these calls.

namespace {

constexpr auto kBatchInterval = std::chrono::seconds(2);
constexpr uint32_t kBatchSize = 1024;

}  // namespace

CDirectoryTreeBuilder::ParentRef CDirectoryTreeBuilder::FindParent(Tree& tree, CFileNode* node) {
    ParentRef ref;
    const long long parentId = node->GetParentNodeID();
    if (parentId == tree.topId) {
        ref.node = tree.topFolder;
        ref.isTop = true;
        return ref;
    }
    const std::span<const uint32_t> candidates = tree.folders.Find(parentId);
    if (candidates.empty()) {
        return ref;
    }
    auto pick = [&](uint32_t position) {
        ref.node = tree.nodes[position].node;
        ref.position = position;
    };
    if (candidates.size() == 1) {
        pick(candidates.front());
        return ref;
    }
    // Several folders share the id: prefer the live one of the node's own
    // partition that lies in the trash, then any of its partition, then the first.
    const uint16_t partition = node->GetBelongedPartition();
    if (tree.trashFound) {
        for (uint32_t position : candidates) {
            CFileNode* folder = tree.nodes[position].node;
            if (folder->GetBelongedPartition() == partition && !folder->IsDeleted() &&
                (folder->GetCurrentNodeID() == tree.trashId ||
                 HasAncestorWithId(folder, tree.trashId, tree.nodes.size()))) {
                pick(position);
                return ref;
            }
        }
    }
    for (uint32_t position : candidates) {
        if (tree.nodes[position].node->GetBelongedPartition() == partition) {
            pick(position);
            return ref;
        }
    }
    pick(candidates.front());
    return ref;
}

bool CDirectoryTreeBuilder::HasAncestorWithId(CFileNode* node, long long id, size_t limit) {
    size_t steps = 0;
    for (CFileNode* up = node->GetParent(); up && steps <= limit;
         up = up->GetParent(), ++steps) {
        if (up->GetCurrentNodeID() == id) {
            return true;
        }
    }
    return false;
}

bool CDirectoryTreeBuilder::IsUserTrash(Tree& tree, CFileNode* node) {
    const char* home = std::getenv("HOME");
    if (!home) {
        return false;
    }
    std::string expected = home;
    if (expected.empty() || expected.back() != '/') {
        expected += '/';
    }
    // The folder path from the top down to the node's parent, "/a/b/".
    std::string path = "/";
    CFileNode* current = node;
    for (size_t steps = 0;; ++steps) {
        if (steps > tree.nodes.size()) {
            return false;  // the parent ids run in a circle
        }
        const ParentRef parent = FindParent(tree, current);
        if (!parent.node) {
            return false;
        }
        if (parent.isTop) {
            break;
        }
        const char* name = parent.node->GetFileName();
        path.insert(1, std::string(name ? name : "") + "/");
        current = parent.node;
    }
    return path == expected;
}

uint32_t CDirectoryTreeBuilder::PositionOf(Tree& tree, CFileNode* node) const {
    const NodeIdIndex& index = node->IsDirectory() ? tree.folders : tree.files;
    for (uint32_t position : index.Find(node->GetCurrentNodeID())) {
        if (tree.nodes[position].node == node) {
            return position;
        }
    }
    return Tree::kNoPosition;
}

bool CDirectoryTreeBuilder::HasFileBelow(CFileNode* folder, size_t limit) {
    if (!folder->IsDirectory()) {
        return true;
    }
    // Iterative walk over child lists; stops at the first file.
    std::vector<CFileNode*> lists{folder->GetFirstChild()};
    size_t visited = 0;
    while (!lists.empty()) {
        CFileNode* child = lists.back();
        lists.pop_back();
        for (; child; child = child->GetNextNode()) {
            if (++visited > limit) {
                return false;
            }
            if (!child->IsDirectory()) {
                return true;
            }
            if (CFileNode* first = child->GetFirstChild()) {
                lists.push_back(first);
            }
        }
    }
    return false;
}

void CDirectoryTreeBuilder::BuildTree(Tree& tree, Batch& out, bool force) {
    const auto now = clock_->Now();
    if (!force) {
        if (tree.type == SEARCHER_HFSPLUS && tree.privateDataIds.empty()) {
            return;
        }
        if (tree.addedSinceLastBuild < kBatchSize && now - tree.lastBuildTime <= kBatchInterval) {
            return;
        }
    }
    tree.addedSinceLastBuild = 0;
    tree.lastBuildTime = now;

    connected_.clear();
    if (force) {
        // Every unlinked pending node tries again, in arrival order.
        tree.fresh.clear();
        tree.arrivedIds.clear();
        tree.waiters.Clear();
        for (_TREE_NODE_ENTRY& entry : tree.nodes) {
            entry.waiting = false;
            entry.nextWaiter = _TREE_NODE_ENTRY::kNoWaiter;
        }
        for (uint32_t position = 0; position < tree.nodes.size(); ++position) {
            Climb(tree, position, connected_);
        }
        InArrivalOrder(tree, connected_, out);
        return;
    }
    // The lists are swapped with emptied ones kept from the last pass, so
    // their storage is reused instead of grown again on every pass.
    climbing_.clear();
    climbing_.swap(tree.fresh);
    for (uint32_t position : climbing_) {
        Climb(tree, position, connected_);
    }
    arrived_.clear();
    arrived_.swap(tree.arrivedIds);
    for (long long id : arrived_) {
        const uint32_t* first = tree.waiters.Find(id);
        if (!first) {
            continue;
        }
        uint32_t position = *first;
        tree.waiters.Erase(id);
        while (position != _TREE_NODE_ENTRY::kNoWaiter) {
            _TREE_NODE_ENTRY& entry = tree.nodes[position];
            const uint32_t next = std::exchange(entry.nextWaiter, _TREE_NODE_ENTRY::kNoWaiter);
            entry.waiting = false;
            Climb(tree, position, connected_);
            position = next;
        }
    }
    InArrivalOrder(tree, connected_, out);
}

void CDirectoryTreeBuilder::InArrivalOrder(Tree& tree, std::vector<uint32_t>& positions,
                                           Batch& out) {
    // The receiver indexes a batch, and files are later copied out, in the
    // order the searcher found them, whatever order the links were made in.
    std::sort(positions.begin(), positions.end());
    out.reserve(out.size() + positions.size());
    for (uint32_t position : positions) {
        out.push_back(tree.nodes[position].node);
    }
}

void CDirectoryTreeBuilder::Climb(Tree& tree, uint32_t start, std::vector<uint32_t>& out) {
    const _TREE_NODE_ENTRY& entry = tree.nodes[start];
    if (!entry.node || entry.state != _TREE_NODE_ENTRY::kPending ||
        entry.node->GetParent()) {
        return;
    }
    CFileNode* current = entry.node;
    uint32_t position = start;
    bool hasFileBelow = false;  // known once the climb has passed through a file
    // Each step links a node that had no parent, so the climb ends within the node count.
    for (size_t steps = 0; steps <= tree.nodes.size(); ++steps) {
        const ParentRef parent = FindParent(tree, current);
        if (!parent.node) {
            _TREE_NODE_ENTRY& waiter = tree.nodes[position];
            if (!waiter.waiting) {
                waiter.waiting = true;
                auto [head, added] =
                    tree.waiters.Insert(current->GetParentNodeID(), position);
                if (!added) {
                    waiter.nextWaiter = std::exchange(*head, position);
                }
            }
            return;
        }
        if (parent.node->IsDeleted() && !current->IsDeleted()) {
            current->MarkDeleted();
        }
        if (tree.type != SEARCHER_APFS) {
            if (current->IsDirectory()) {
                if (!hasFileBelow && !HasFileBelow(current, tree.nodes.size())) {
                    return;  // empty folders are never shown
                }
            } else if (!current->IsDeleted() && !filter_->ShowNormalFiles()) {
                return;
            }
        }
        const bool parentWasLinked = parent.node->GetParent() != nullptr;
        if (!parent.node->AddChild(current)) {
            return;  // would close a loop
        }
        if (parent.isTop || tree.nodes[parent.position].state == _TREE_NODE_ENTRY::kShown) {
            Connect(tree, current, position, out);
            return;
        }
        if (parentWasLinked) {
            return;  // joined a chain that has not reached the top yet
        }
        current = parent.node;
        position = parent.position;
        hasFileBelow = true;
    }
}

void CDirectoryTreeBuilder::Connect(Tree& tree, CFileNode* from, uint32_t fromPosition,
                                    std::vector<uint32_t>& out) {
    // Everything below `from` now reaches the top folder. Nodes linked before
    // their folder turned out to be deleted are marked on the way down.
    std::vector<CFileNode*>& stack = connectStack_;
    stack.assign(1, from);
    size_t visited = 0;
    while (!stack.empty() && visited++ <= tree.nodes.size()) {
        CFileNode* node = stack.back();
        stack.pop_back();
        const uint32_t position = node == from ? fromPosition : PositionOf(tree, node);
        if (position == Tree::kNoPosition ||
            (tree.nodes[position].state != _TREE_NODE_ENTRY::kPending &&
             tree.nodes[position].state != _TREE_NODE_ENTRY::kKept)) {
            continue;
        }
        tree.nodes[position].state = _TREE_NODE_ENTRY::kShown;
        out.push_back(position);
        const bool deleted = node->IsDeleted() != 0;
        for (CFileNode* child = node->GetFirstChild(); child;
             child = child->GetNextNode()) {
            if (deleted && !child->IsDeleted()) {
                child->MarkDeleted();
            }
            stack.push_back(child);
        }
    }
}

void CDirectoryTreeBuilder::LinkAll(Tree& tree) {
    // Each pass that yields shows at least one more node, so this ends.
    for (;;) {
        Batch out;
        BuildTree(tree, out, true);
        if (out.empty()) {
            return;
        }
        HandOver(tree, out, 0);
    }
}

void CDirectoryTreeBuilder::HandOver(Tree& tree, Batch& batch, int lost) {
    if (!tree.topAnnounced) {
        tree_->ShowFilesystemNode(tree.topFolder);
        tree.topAnnounced = true;
        // Gives the receiver time to set the new tree up before nodes arrive.
        if (setupPause_.count() > 0) {
            clock_->Wait(setupPause_);
        }
    }
    tree_->ShowNodes(batch.data(), static_cast<unsigned int>(batch.size()), lost);
}
