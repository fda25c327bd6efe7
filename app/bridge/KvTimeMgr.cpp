#include "KvTimeMgr.h"

#include <ctime>

#include "FileNode.h"
#include "KvResultTrees.h"
#include "KvUIPublic.h"
#include "KvUIScan.h"

namespace {

OpNodeRef MakeDateRow(int keyType, const QString& name, int expandable) {
    auto row = std::make_shared<OpNodeData>(TreeNodeData{1, 1, 0, nullptr});
    row->setType(keyType);
    row->setFadeName(name);
    row->setExpandAble(expandable);
    return row;
}

void SetKeyTime(OpNodeData& row, int keyType, int64_t seconds) {
    if (keyType == OpNodeData::kCreatedTree)
        row.setCreateTime(seconds);
    else
        row.setModifyTime(seconds);
}

}  // namespace

KvTimeMgr& KvTimeMgr::share() {
    static KvTimeMgr manager;
    return manager;
}

int64_t KvTimeMgr::KeyTimeOf(int year, int month) {
    // Noon of the 15th: inside the month on any day and whatever the
    // daylight-saving rules of the zone.
    struct tm local {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = 15;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&local));
}

void KvTimeMgr::refreshTimeTree(int keyType, KvTreeChanges& changes) {
    Tree& tree = TreeOf(keyType);
    if (!tree.root) {
        tree.root = MakeDateRow(keyType,
                                KvUIPublic::LocalizedString(keyType == OpNodeData::kCreatedTree
                                                                ? "CREATE_TIME_ROOT_NAME"
                                                                : "MODIFY_TIME_ROOT_NAME"),
                                1);
    }
    changes.OfferDateRoot(keyType, tree.root);
    const KvUIScan::DateIndex tails = KvUIScan::instance()->GetDateMapFrom(
        keyType == OpNodeData::kCreatedTree, tree.positions);
    for (const auto& [year, months] : tails) {
        for (const auto& [month, files] : months) {
            if (year < 1 || month < 1)
                continue;
            tree.positions[year * 100 + month] += files.size();
            OpNodeRef row;
            for (IFileNode* file : files) {
                if (file == nullptr || file->IsDirectory() || !file->IsNodeShow())
                    continue;
                const _FILETIME time = keyType == OpNodeData::kCreatedTree
                                           ? file->GetCreationTime()
                                           : file->GetModificationTime();
                if (time == 0)
                    continue;
                if (!row)
                    row = MonthRow(tree, keyType, year, month, changes);
                changes.AddFile(row, file);
            }
        }
    }
}

OpNodeRef KvTimeMgr::MonthRow(Tree& tree, int keyType, int year, int month,
                              KvTreeChanges& changes) {
    OpNodeRef& row = tree.months[{year, month}];
    if (row)
        return row;
    const int64_t keyTime = KeyTimeOf(year, month);
    OpNodeRef& yearRow = tree.years[year];
    if (!yearRow) {
        // Set once, before any window sees the row: every month of the year reads back its year.
        yearRow = MakeDateRow(keyType, QString::asprintf("%04d", year), 1);
        SetKeyTime(*yearRow, keyType, keyTime);
        yearRow->setParent(tree.root.get());
        changes.AddRow(keyType, yearRow, tree.root, true);
    }
    row = MakeDateRow(keyType, QString::asprintf("%02d", month), 0);
    SetKeyTime(*row, keyType, keyTime);
    row->setParent(yearRow.get());
    changes.AddRow(keyType, row, yearRow, true);
    return row;
}

void KvTimeMgr::clear() {
    created_ = Tree{};
    modified_ = Tree{};
    createdNeedsRefresh_ = 1;
    modifiedNeedsRefresh_ = 1;
}

void KvTimeMgr::KvSetNeedRefreshTree() {
    const int shown = KvUIScan::instance()->GetScanType();
    if (shown != OpNodeData::kCreatedTree)
        createdNeedsRefresh_ = 1;
    if (shown != OpNodeData::kModifiedTree)
        modifiedNeedsRefresh_ = 1;
}

void KvTimeMgr::KvResetNeedRefreshTree() {
    const int shown = KvUIScan::instance()->GetScanType();
    if (shown == OpNodeData::kCreatedTree)
        createdNeedsRefresh_ = 0;
    else if (shown == OpNodeData::kModifiedTree)
        modifiedNeedsRefresh_ = 0;
}

bool KvTimeMgr::KvGetNeedRefreshTree() {
    const int shown = KvUIScan::instance()->GetScanType();
    if (shown == OpNodeData::kCreatedTree)
        return createdNeedsRefresh_ != 0;
    if (shown == OpNodeData::kModifiedTree)
        return modifiedNeedsRefresh_ != 0;
    return true;
}
