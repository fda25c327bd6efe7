#include "KvResultTrees.h"

#include <QCoreApplication>
#include <QThread>

#include "KvNotificationCenter.h"

void KvTreeChanges::AddRow(int tree, OpNodeRef row, OpNodeRef parent, bool sorted) {
    rows_.push_back({tree, std::move(row), std::move(parent), sorted});
}

void KvTreeChanges::AddFile(const OpNodeRef& row, IFileNode* file) {
    // Files mostly come in runs of the same row.
    if (row.get() != lastRow_) {
        auto [link, made] = fileLinkOf_.try_emplace(row.get(), files_.size());
        if (made)
            files_.push_back({row, {}});
        lastRow_ = row.get();
        lastLink_ = link->second;
    }
    files_[lastLink_].files.push_back(file);
}

void KvTreeChanges::OfferDateRoot(int tree, OpNodeRef root) {
    dateRoots_[tree == OpNodeData::kCreatedTree ? 0 : 1] = std::move(root);
}

void KvTreeChanges::ClearTreesFirst(bool uncheck, OpNodeArray categories) {
    clear_ = true;
    uncheck_ = uncheck;
    clearedCategories_ = std::move(categories);
}

bool KvTreeChanges::empty() const {
    return !clear_ && rows_.empty() && files_.empty() && typeRoots_.empty() && !dateRoots_[0] &&
           !dateRoots_[1];
}

KvResultTrees& KvResultTrees::instance() {
    static KvResultTrees trees;
    return trees;
}

bool KvResultTrees::SetRoots(const KvTreeRoots* roots) {
    if (roots == nullptr)
        return false;
    roots_ = *roots;
    return true;
}

OpNodeArray* KvResultTrees::Roots(int tree) const {
    switch (tree) {
        case OpNodeData::kPathTree:
            return roots_.path;
        case OpNodeData::kTypeTree:
            return roots_.type;
        case OpNodeData::kCreatedTree:
            return roots_.created;
        case OpNodeData::kModifiedTree:
            return roots_.modified;
        default:
            return nullptr;
    }
}

void KvResultTrees::Publish(std::unique_ptr<KvTreeChanges> changes) {
    if (!changes || changes->empty())
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        Apply(*changes);
        return;
    }
    std::shared_ptr<KvTreeChanges> queued(std::move(changes));
    KvNotificationCenter::defaultCenter()->enqueue([this, queued] { Apply(*queued); });
}

void KvResultTrees::Apply(KvTreeChanges& changes) {
    if (changes.generation_ != generation_)
        return;  // made for trees emptied since
    if (changes.clear_) {
        for (int tree = 0; tree < 4; ++tree) {
            if (OpNodeArray* roots = Roots(tree))
                roots->clear();
        }
        for (const OpNodeRef& category : changes.clearedCategories_) {
            category->clearChildren();
            if (changes.uncheck_)
                category->setNodeState(0);
        }
    }
    if (OpNodeArray* roots = Roots(OpNodeData::kTypeTree); roots && roots->empty())
        roots->insert(roots->end(), changes.typeRoots_.begin(), changes.typeRoots_.end());
    for (int i = 0; i < 2; ++i) {
        OpNodeArray* roots = Roots(i == 0 ? OpNodeData::kCreatedTree : OpNodeData::kModifiedTree);
        if (roots != nullptr && roots->empty() && changes.dateRoots_[i])
            roots->push_back(changes.dateRoots_[i]);
    }
    for (KvTreeChanges::RowLink& link : changes.rows_) {
        if (!link.parent) {
            if (OpNodeArray* roots = Roots(link.tree))
                roots->push_back(link.row);
            continue;
        }
        if (link.tree == OpNodeData::kPathTree)
            link.parent->setExpandAble(1);
        const int at = link.sorted ? GetDateInsertIndex(link.row->name(), link.parent->childRows())
                                   : -1;
        if (at >= 0)
            link.parent->insertChildObject(static_cast<size_t>(at), link.row);
        else
            link.parent->addChildObject(link.row);
    }
    for (KvTreeChanges::FileLink& link : changes.files_)
        link.row->addChildObjects(link.files);
}

int GetDateInsertIndex(const QString& name, const OpNodeArray& children) {
    for (size_t i = 0; i < children.size(); ++i) {
        if (QString::compare(children[i]->name(), name, Qt::CaseInsensitive) > 0)
            return static_cast<int>(i);
    }
    return -1;
}
