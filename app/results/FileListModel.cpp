#include "FileListModel.h"

#include <QPixmap>

#include <array>

#include "Images.h"
#include "KvPublicUtilities.h"
#include "OpNodeData.h"
#include "Tr.h"

namespace {

constexpr std::array<const char*, FileListModel::kColumnCount> kIdentifiers = {
    "CheckBox", "Name", "Size", "Path", "Created"};
constexpr std::array<const char*, FileListModel::kColumnCount> kTitles = {
    nullptr, "QOV_FOUR_TABLEVIEW_NAME", "QOV_FOUR_TABLEVIEW_SIZE", "QOV_FOUR_TABLEVIEW_PATH",
    "QOV_FOUR_TABLEVIEW_CREATED"};

}  // namespace

FileListModel::FileListModel(const std::vector<IFileNode*>* rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows) {}

QString FileListModel::identifier(int column) {
    if (column < 0 || column >= kColumnCount)
        return {};
    return QString::fromLatin1(kIdentifiers[static_cast<size_t>(column)]);
}

int FileListModel::columnOf(const QString& identifier) {
    for (int column = 0; column < kColumnCount; ++column)
        if (identifier == QLatin1String(kIdentifiers[static_cast<size_t>(column)]))
            return column;
    return -1;
}

void FileListModel::reloadData() {
    beginResetModel();
    endResetModel();
}

void FileListModel::refreshCells() {
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
}

void FileListModel::refreshRow(int row) {
    if (row >= 0 && row < rowCount())
        emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

IFileNode* FileListModel::fileAt(int row) const {
    if (rows_ == nullptr || row < 0 || static_cast<size_t>(row) >= rows_->size())
        return nullptr;
    return (*rows_)[static_cast<size_t>(row)];
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || rows_ == nullptr ? 0 : static_cast<int>(rows_->size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString FileListModel::imageName(IFileNode* file, int column) const {
    if (column == kCheckBox)
        // A partly checked folder shows as unchecked.
        return OpNodeData::fileNodeState(file) == 2 ? QStringLiteral("pf_checkbox_yes")
                                                    : QStringLiteral("pf_checkbox_no");
    if (column == kName && OpNodeData::isFileNodeDeleted(file))
        return QStringLiteral("deletered");
    return {};
}

QString FileListModel::text(IFileNode* file, int column) const {
    const OpNodeData node(file);
    switch (column) {
        case kName: {
            const QString name = node.name();
            return name.isEmpty() ? QStringLiteral("Unknow") : name;
        }
        case kSize:
            return KvPublicUtilities::longlongConvertVolSpace(static_cast<int64_t>(node.size()));
        case kPath:
            return node.path();
        case kCreated:
            return node.createTime();
        default:
            return {};
    }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    IFileNode* file = fileAt(index.row());
    if (file == nullptr || index.column() < 0 || index.column() >= kColumnCount)
        return {};
    switch (role) {
        case Qt::DisplayRole:
            return index.column() == kCheckBox ? QVariant() : QVariant(text(file, index.column()));
        case Qt::DecorationRole: {
            const QString name = imageName(file, index.column());
            return name.isEmpty() ? QVariant() : QVariant(Images::named(name));
        }
        case kImageNameRole:
            return imageName(file, index.column());
        default:
            return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    const char* title = kTitles[static_cast<size_t>(section)];
    return role == Qt::DisplayRole && title != nullptr ? QVariant(Tr(title)) : QVariant();
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
    // Rows select; cells never edit.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
