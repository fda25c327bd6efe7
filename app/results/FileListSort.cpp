#include "FileListSort.h"

#include <QHash>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "FileNode.h"
#include "KvUIPublic.h"
#include "OpNodeData.h"

namespace {

template <typename Key>
struct KeyedRow {
    Key key;
    IFileNode* row;
};

// Reads every row's key once, sorts by it and writes the rows back.
template <typename KeyOf>
void sortByKey(std::vector<IFileNode*>& rows, bool ascending, KeyOf keyOf) {
    using Key = decltype(keyOf(static_cast<IFileNode*>(nullptr)));
    std::vector<KeyedRow<Key>> keyed;
    keyed.reserve(rows.size());
    for (IFileNode* row : rows)
        keyed.push_back({keyOf(row), row});
    if (ascending)
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.key < b.key; });
    else
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return b.key < a.key; });
    for (size_t i = 0; i < keyed.size(); ++i)
        rows[i] = keyed[i].row;
}

// Paths of files that share a folder, with the folder's path made once.
class PathKeys {
public:
    QString operator()(IFileNode* row) {
        if (row == nullptr)
            return {};
        IFileNode* folder = row->GetParent();
        if (folder == nullptr)
            return KvUIPublic::GetPathByFileNode(row);
        auto known = folders_.find(folder);
        if (known == folders_.end())
            known = folders_.insert(folder, KvUIPublic::GetPathByFileNode(folder));
        const char* name = row->GetFileName();
        return *known + QLatin1Char('/') + QString::fromUtf8(name != nullptr ? name : "");
    }

private:
    QHash<IFileNode*, QString> folders_;
};

}  // namespace

namespace FileListSort {

void sortRows(std::vector<IFileNode*>& rows, const QString& column, bool ascending) {
    if (column == QLatin1String("Name")) {
        sortByKey(rows, ascending, [](IFileNode* row) {
            return row != nullptr ? OpNodeData(row).name() : QString();
        });
    } else if (column == QLatin1String("Size")) {
        sortByKey(rows, ascending, [](IFileNode* row) {
            return row != nullptr ? OpNodeData(row).size() : uint64_t{0};
        });
    } else if (column == QLatin1String("Path")) {
        sortByKey(rows, ascending, PathKeys());
    } else if (column == QLatin1String("Created")) {
        sortByKey(rows, ascending, [](IFileNode* row) {
            return row != nullptr ? static_cast<int64_t>(OpNodeData(row).createTimeValue())
                                  : int64_t{0};
        });
    }
}

}  // namespace FileListSort
