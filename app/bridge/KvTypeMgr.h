#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "OpNodeData.h"

class KvTreeChanges;

// The type tree: seven category rows (documents, pictures, movies, music,
// archives, e-mail, other), an extension row below a category for each
// extension of its list met, and the files below those; files whose
// extension is in no list hang below "other". Fed from the scan's index of
// files by category, under the tree lock; its rows are published on the main
// thread like every tree's.
class KvTypeMgr {
public:
    static KvTypeMgr& share();

    // The category rows in the order 1, 2, 4, 8, 16, 32, 64; the same rows
    // for the life of the process.
    OpNodeArray getRootNode() const;
    // Places every file the scan delivered since the last call (tree lock held).
    void refreshTypeTree(KvTreeChanges& changes);
    bool isOtherNode(const OpNodeData* row) const;
    // The extensions of a category's list joined with ";"; null without a list.
    QString getTypeString(unsigned int category) const;
    // The name of the picture (Images::named) of an extension's icon: its
    // category's; empty for an extension in no list.
    QString getImageForType(const QString& extension) const;
    // The category of an extension in the lists; 64 (other) when in none.
    unsigned int CategoryOfExtension(const std::string& extension) const;
    // Forgets what was placed (tree lock held); the rows are emptied by the
    // changes the caller publishes.
    void clear();

    // Check marks, main thread.
    void setNodeState(OpNodeData* extensionRow);
    void refreshTypeTreeState();
    void KvSetNeedRefreshTree() { needRefreshTree_ = 1; }

private:
    KvTypeMgr();
    void ReadFileTypeList();

    std::map<unsigned int, QStringList> lists_;               // the "FileType" list
    std::unordered_map<std::string, unsigned int> typeDict_;  // extension -> category
    std::map<unsigned int, OpNodeRef> rootNode_;
    std::unordered_map<std::string, OpNodeRef> subNodeDict_;
    std::unordered_set<IFileNode*> placed_;
    std::map<unsigned int, size_t> typeIndexMap_;
    std::atomic<int> needRefreshTree_{0};
};
