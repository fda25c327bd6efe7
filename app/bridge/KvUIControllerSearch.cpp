#include <mutex>
#include <vector>

#include "EngineLog.h"
#include "FileNode.h"
#include "KvNotificationNames.h"
#include "KvResultTrees.h"
#include "KvScanUpdates.h"
#include "KvUIController.h"
#include "KvUIPublic.h"
#include "KvUIScan.h"
#include "KvUITrees.h"

namespace {

// The trees rebuilt after a search, the one on screen first.
std::vector<int> SearchOrder(int shown) {
    switch (shown) {
        case OpNodeData::kTypeTree:
            return {1, 2, 3, 0};
        case OpNodeData::kCreatedTree:
            return {2, 1, 3, 0};
        case OpNodeData::kModifiedTree:
            return {3, 1, 2, 0};
        default:
            return {0, 1, 2, 3};
    }
}

}  // namespace

bool KvUIController::DoSearchWithString(const QString& key, const QString& name) {
    static std::mutex requests;
    std::lock_guard hold(requests);
    KvUIScan* scan = KvUIScan::instance();
    if (scan->IsSearching()) {
        CatchExeception::WriteLog("++++++++++skip search key:%s++++++++\n", key.toUtf8().constData());
        return false;
    }
    scan->SetSearching(1);
    scan->SetSearchKey(key.toUtf8().constData());
    DoOperation([name] { DoSearchFn(name); }, nullptr, name, false);
    return true;
}

void KvUIController::DoSearchFn(const QString& name) {
    KvUIScan* scan = KvUIScan::instance();
    {
        std::lock_guard tree(KvScanUpdates::instance()->TreeLock());
        ResetTreesLocked(true);
        std::vector<IFileNode*> hits;
        scan->DoSearch(hits);
        KvResultTrees& trees = KvResultTrees::instance();
        bool first = true;
        for (int kind : SearchOrder(scan->GetScanType())) {
            auto changes = std::make_unique<KvTreeChanges>(trees.Generation());
            RefreshTreesLocked(kind, 1, &hits, *changes);
            trees.Publish(std::move(changes));
            if (first)
                KvUIPublic::NotifyMainThread(name);
            first = false;
        }
        KvUIPublic::NotifyMainThread(kvnote::kDoSearchFinished);
    }
    scan->SetNeedUIUpdate(0);
}

QString KvUIController::GetSearchString() {
    return QString::fromUtf8(KvUIScan::instance()->GetSearchKey());
}

void KvUIController::StopSearch() {
    KvUIScan::instance()->SetSearching(0);
    KvSetFlag(0);
}

void KvUIController::GetSearchResultToArr(std::vector<IFileNode*>* files) {
    KvUIScan* scan = KvUIScan::instance();
    if (files == nullptr || scan->GetSearchKey().empty())
        return;
    for (const auto& [category, nodes] : scan->GetTypeMap()) {
        for (IFileNode* node : nodes) {
            if (node->IsNodeShow())
                files->push_back(node);
        }
    }
}
