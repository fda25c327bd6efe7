#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "KvResultTrees.h"
#include "KvUIController.h"
#include "OpNodeData.h"
#include "TestNode.h"

namespace bridgetest {

// The node time of a moment given in seconds since 1970.
constexpr _FILETIME FileTimeOf(int64_t unixSeconds) {
    return static_cast<_FILETIME>((unixSeconds + 11644473600) * 10000000);
}

// A found node with a modification time, whose links a test may bend.
class FoundNode : public TestNode {
public:
    using TestNode::TestNode;
    _FILETIME GetModificationTime() override { return modified_; }
    void LinkNext(CFileNode* next) { nextSibling_ = next; }

    _FILETIME modified_ = 0;
};

// The results window's four root arrays, handed to the facade while alive.
struct WindowTrees {
    WindowTrees() { KvUIController::KvSetTreeNodeData(&view); }
    ~WindowTrees() {
        KvTreeRoots none;
        KvUIController::KvSetTreeNodeData(&none);
    }
    OpNodeArray path, type, created, modified;
    KvTreeRoots view{&path, &type, &created, &modified};
};

// Every row below `rows`, depth first, parents before children.
inline void ForEachRow(const OpNodeArray& rows, const std::function<void(OpNodeData&)>& visit) {
    for (const OpNodeRef& row : rows) {
        visit(*row);
        ForEachRow(row->childRows(), visit);
    }
}

// The names of rows, in order.
inline std::vector<std::string> NamesOf(const OpNodeArray& rows) {
    std::vector<std::string> names;
    for (const OpNodeRef& row : rows)
        names.push_back(row->name().toStdString());
    return names;
}

}  // namespace bridgetest
