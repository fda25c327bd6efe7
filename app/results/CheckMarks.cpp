#include "CheckMarks.h"

#include "KvUIFacade.h"
#include "OpNodeData.h"

namespace CheckMarks {

namespace {

struct Tally {
    int64_t sum = 0;
    int64_t counted = 0;

    void addFile(IFileNode* file) {
        if (file == nullptr || OpNodeData::isFileNodeDirect(file))
            return;
        sum += OpNodeData::fileNodeState(file);
        ++counted;
    }
    int state() const {
        if (sum == 0)
            return 0;
        return sum == 2 * counted ? 2 : 1;
    }
};

}  // namespace

int toggled(int state) {
    return state == 2 ? 0 : 2;
}

bool locked(KvUIFacade& facade) {
    return facade.IsScanRunning() && !facade.IsPause();
}

int derivedState(KvUIFacade& facade, OpNodeData* node, const std::vector<IFileNode*>& shown) {
    Tally tally;
    if (node != nullptr && node->isFadeNode() && node->parent() == nullptr) {
        for (const auto& row : node->childRows()) {
            tally.sum += row->state();
            ++tally.counted;
        }
        for (IFileNode* file : node->childFiles())
            tally.addFile(file);
        return tally.state();
    }
    if (node == nullptr) {
        for (IFileNode* file : shown)
            tally.addFile(file);
        return tally.state();
    }
    std::vector<IFileNode*> files;
    facade.GetFileNodeToArray(&files, node);
    for (IFileNode* file : files)
        tally.addFile(file);
    return tally.state();
}

int selectAllTarget(int derived) {
    return derived == 2 ? 0 : 2;
}

void setAllFiles(const std::vector<IFileNode*>& shown, int state) {
    for (IFileNode* file : shown)
        if (file != nullptr && !OpNodeData::isFileNodeDirect(file))
            OpNodeData::setFileNode(file, state);
}

QString selectAllImage(bool listEmpty, int derived) {
    if (listEmpty || derived == 0)
        return QStringLiteral("pf_checkbox_no");
    return derived == 2 ? QStringLiteral("pf_checkbox_yes") : QStringLiteral("pf_checkbox_half");
}

}  // namespace CheckMarks
