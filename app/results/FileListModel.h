#pragma once

// The rows of the results window's file tables (the list and the table under
// the cover flow): one row per found file of the window's list, with a check
// box, the name with a mark for deleted files, the size, the path and the
// creation time. The model reads the window's list; it owns no rows.

#include <QAbstractTableModel>
#include <QString>

#include <vector>

class IFileNode;

class FileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { kCheckBox = 0, kName, kSize, kPath, kCreated, kColumnCount };
    // The name of the picture a cell shows (check box, deleted mark); empty
    // when none.
    static constexpr int kImageNameRole = Qt::UserRole + 1;

    explicit FileListModel(const std::vector<IFileNode*>* rows, QObject* parent = nullptr);

    // The columns' identifiers: "CheckBox", "Name", "Size", "Path", "Created".
    static QString identifier(int column);
    static int columnOf(const QString& identifier);

    // The list changed: every row is read again.
    void reloadData();
    // The same rows show something new (a check mark): the views keep their
    // selection.
    void refreshCells();
    void refreshRow(int row);

    // The found file of a row; null outside the list.
    IFileNode* fileAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString imageName(IFileNode* file, int column) const;
    QString text(IFileNode* file, int column) const;

    const std::vector<IFileNode*>* rows_;
};
