#include "CommOutlineModel.h"

#include <QIcon>
#include <QMimeDatabase>

#include "Images.h"
#include "KvUIFacade.h"

CommOutlineModel::CommOutlineModel(QObject* parent) : QAbstractItemModel(parent) {}

void CommOutlineModel::setRoots(const OpNodeArray* roots, int64_t dataType) {
    beginResetModel();
    roots_ = roots;
    dataType_ = dataType;
    rows_.clear();
    folderCounts_.clear();
    endResetModel();
}

OpNodeData* CommOutlineModel::nodeOf(const QModelIndex& index) {
    return index.isValid() ? static_cast<OpNodeData*>(index.internalPointer()) : nullptr;
}

QModelIndex CommOutlineModel::indexOf(const OpNodeData* node) const {
    const int row = node != nullptr ? rowOf(node) : -1;
    return row < 0 ? QModelIndex() : createIndex(row, 0, const_cast<OpNodeData*>(node));
}

int CommOutlineModel::folderCount(const OpNodeData* node) {
    if (node == nullptr)
        return 0;
    int count = 0;
    for (const OpNodeRef& child : node->childRows()) {
        if (child && child->isDirect())
            ++count;
    }
    for (IFileNode* file : node->childFiles()) {
        if (OpNodeData::isFileNodeDirect(file))
            ++count;
    }
    // Folders stand first; only rows can be shown.
    return std::min<int>(count, static_cast<int>(node->childRows().size()));
}

int CommOutlineModel::shownFolderCount(const OpNodeData* node) const {
    auto known = folderCounts_.constFind(node);
    if (known != folderCounts_.constEnd())
        return *known;
    const int count = folderCount(node);
    folderCounts_.insert(node, count);
    return count;
}

bool CommOutlineModel::isItemExpandable(const OpNodeData* node) {
    return isItemExpandable(node, folderCount(node));
}

bool CommOutlineModel::isItemExpandable(const OpNodeData* node, int folders) {
    if (node == nullptr)
        return false;
    if (node->isDirect() && node->isHasFolderChildren() && folders != 0)
        return true;
    return node->isExpand() != 0;
}

QModelIndex CommOutlineModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    const OpNodeData* above = nodeOf(parent);
    OpNodeData* node = nullptr;
    if (above == nullptr) {
        if (roots_ == nullptr || row >= static_cast<int>(roots_->size()))
            return {};
        node = (*roots_)[row].get();
    } else {
        if (row >= shownFolderCount(above))
            return {};
        node = above->childRows()[row].get();
    }
    if (node == nullptr)
        return {};
    rows_.insert(node, row);
    return createIndex(row, 0, node);
}

int CommOutlineModel::rowOf(const OpNodeData* node) const {
    auto known = rows_.constFind(node);
    if (known != rows_.constEnd())
        return *known;
    const OpNodeData* above = node->parent();
    int row = -1;
    if (above == nullptr) {
        for (size_t i = 0; roots_ != nullptr && i < roots_->size(); ++i) {
            if ((*roots_)[i].get() == node)
                row = static_cast<int>(i);
        }
    } else {
        const int shown = shownFolderCount(above);
        for (int i = 0; i < shown; ++i) {
            if (above->childRows()[i].get() == node)
                row = i;
        }
    }
    if (row >= 0)
        rows_.insert(node, row);
    return row;
}

QModelIndex CommOutlineModel::parent(const QModelIndex& child) const {
    const OpNodeData* node = nodeOf(child);
    if (node == nullptr)
        return {};
    return indexOf(node->parent());
}

int CommOutlineModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    if (!parent.isValid())
        return roots_ != nullptr ? static_cast<int>(roots_->size()) : 0;
    return shownFolderCount(nodeOf(parent));
}

int CommOutlineModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool CommOutlineModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid())
        return rowCount(parent) > 0;
    const OpNodeData* node = nodeOf(parent);
    return isItemExpandable(node, shownFolderCount(node));
}

QString CommOutlineModel::labelOf(const OpNodeData* node) const {
    QString name = node->name();
    if (name.isNull())
        name = QStringLiteral("Unknow");
    if (dataType_ == OpNodeData::kPathTree)
        return name;
    return QStringLiteral("%1(%2)").arg(name).arg(KvUIFacade::current().GetNodeChildrenCnt(node));
}

QIcon CommOutlineModel::iconOf(const OpNodeData* node) const {
    if (dataType_ == OpNodeData::kTypeTree && node->isFadeNode() && node->parent() != nullptr)
        return extensionIcon(node->name());
    if (dataType_ == OpNodeData::kCreatedTree)
        return QIcon(Images::named(QStringLiteral("10IconImage")));
    return QIcon(Images::named(QStringLiteral("%1IconImage").arg(node->nodeType())));
}

QVariant CommOutlineModel::data(const QModelIndex& index, int role) const {
    const OpNodeData* node = nodeOf(index);
    if (node == nullptr)
        return {};
    switch (role) {
        case Qt::DisplayRole:
            return labelOf(node);
        case Qt::DecorationRole:
            return iconOf(node);
        case Qt::CheckStateRole:
            return node->state();
        default:
            return {};
    }
}

QIcon CommOutlineModel::extensionIcon(const QString& extension) const {
    auto found = icons_.constFind(extension);
    if (found != icons_.constEnd())
        return *found;
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile("file." + extension, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull())
        icon = QIcon(Images::named(QStringLiteral("11IconImage")));
    icons_.insert(extension, icon);
    return icon;
}
