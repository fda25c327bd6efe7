#pragma once

// The model of a result tree: the folders below the results window's root
// rows (a tree never lists files), with a check state, an icon and a label
// per row. The rows belong to the results window; the model only reads them.

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>

#include <cstdint>

#include "OpNodeData.h"

class CommOutlineModel : public QAbstractItemModel {
    Q_OBJECT

public:
    explicit CommOutlineModel(QObject* parent = nullptr);

    // Shows the rows of `roots` (not owned; null empties the tree) as a tree
    // of kind `dataType` (an OpNodeData tree type).
    void setRoots(const OpNodeArray* roots, int64_t dataType);
    int64_t dataType() const { return dataType_; }

    static OpNodeData* nodeOf(const QModelIndex& index);
    QModelIndex indexOf(const OpNodeData* node) const;
    // The number of folder children, the rows a node shows.
    static int folderCount(const OpNodeData* node);
    // Whether a node shows a disclosure mark: a folder with folder children,
    // or one the user opened (it stays open while its folders come and go).
    static bool isItemExpandable(const OpNodeData* node);
    static bool isItemExpandable(const OpNodeData* node, int folders);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // The label of a row: the name in the path tree, the name with the
    // number of files below it in the others.
    QString labelOf(const OpNodeData* node) const;
    QIcon iconOf(const OpNodeData* node) const;

private:
    // The desktop's icon for files with this extension, else a plain file.
    QIcon extensionIcon(const QString& extension) const;
    int rowOf(const OpNodeData* node) const;
    // folderCount, read once per node while the roots stand: a folder may
    // hold a million file entries and the view asks of every row often.
    int shownFolderCount(const OpNodeData* node) const;

    const OpNodeArray* roots_ = nullptr;
    int64_t dataType_ = OpNodeData::kPathTree;
    // Where each row handed out stands below its parent.
    mutable QHash<const OpNodeData*, int> rows_;
    mutable QHash<const OpNodeData*, int> folderCounts_;
    mutable QHash<QString, QIcon> icons_;
};
