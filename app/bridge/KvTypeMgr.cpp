#include "KvTypeMgr.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "FileNode.h"
#include "KvCPPPublic.h"
#include "KvResultTrees.h"
#include "KvUIScan.h"

// The application's "FileType" list (app/resources/FileType.json): the
// extensions of each category by its bit.
extern const char kFileTypeList[];

namespace {

// Categories that have an extension list, in the order the lists are read.
constexpr unsigned int kListedCategories[] = {1, 2, 4, 8, 16, 32};

OpNodeRef MakeTypeRow(const QString& name) {
    auto row = std::make_shared<OpNodeData>(TreeNodeData{1, 1, 0, nullptr});
    row->setType(OpNodeData::kTypeTree);
    row->setFadeName(name);
    row->setExpandAble(1);
    return row;
}

}  // namespace

KvTypeMgr& KvTypeMgr::share() {
    static KvTypeMgr manager;
    return manager;
}

KvTypeMgr::KvTypeMgr() {
    ReadFileTypeList();
    // A later list wins for an extension listed twice.
    for (unsigned int category : kListedCategories) {
        for (const QString& extension : lists_[category])
            typeDict_[extension.toLower().toStdString()] = category;
    }
    for (unsigned int category : KvCPPPublic::kCategories) {
        rootNode_[category] = MakeTypeRow(KvCPPPublic::instance().FilterTypeToString(category));
        typeIndexMap_[category] = 0;
    }
}

void KvTypeMgr::ReadFileTypeList() {
    const QJsonObject list = QJsonDocument::fromJson(QByteArray(kFileTypeList)).object();
    for (unsigned int category : kListedCategories) {
        const QJsonValue extensions = list.value(QString::number(category));
        if (!extensions.isArray())
            continue;
        QStringList& texts = lists_[category];
        for (const QJsonValue& extension : extensions.toArray()) {
            if (extension.isString())
                texts.push_back(extension.toString());
        }
    }
}

OpNodeArray KvTypeMgr::getRootNode() const {
    OpNodeArray rows;
    for (const auto& [category, row] : rootNode_)
        rows.push_back(row);
    return rows;
}

bool KvTypeMgr::isOtherNode(const OpNodeData* row) const {
    return row != nullptr && row == rootNode_.at(FILTER_TYPE_OTHER).get();
}

QString KvTypeMgr::getTypeString(unsigned int category) const {
    auto found = lists_.find(category);
    return found != lists_.end() ? found->second.join(QLatin1Char(';')) : QString();
}

QString KvTypeMgr::getImageForType(const QString& extension) const {
    const unsigned int category = CategoryOfExtension(extension.toStdString());
    if (category == FILTER_TYPE_OTHER)
        return QString();
    return QStringLiteral("%1IconImage").arg(OpNodeData::categoryIconClass(category));
}

unsigned int KvTypeMgr::CategoryOfExtension(const std::string& extension) const {
    auto found = typeDict_.find(extension);
    return found != typeDict_.end() ? found->second : FILTER_TYPE_OTHER;
}

void KvTypeMgr::refreshTypeTree(KvTreeChanges& changes) {
    const KvUIScan::TypeIndex tails = KvUIScan::instance()->GetTypeMapFrom(typeIndexMap_);
    for (const auto& [category, files] : tails) {
        size_t& position = typeIndexMap_[category];
        // The last file looked at is looked at again next time: it may be
        // shown by then.
        const size_t first = position;
        for (size_t i = 0; i < files.size(); ++i) {
            position = first + i;
            IFileNode* file = files[i];
            if (file == nullptr || !file->IsNodeShow() || !placed_.insert(file).second)
                continue;
            const std::string extension = KvUIScan::GetNodeExt(file);
            const unsigned int listed = CategoryOfExtension(extension);
            OpNodeRef row = rootNode_[FILTER_TYPE_OTHER];
            if (listed != FILTER_TYPE_OTHER) {
                OpNodeRef& extensionRow = subNodeDict_[extension];
                if (!extensionRow) {
                    extensionRow = MakeTypeRow(QString::fromStdString(extension));
                    const OpNodeRef& parent = rootNode_[listed];
                    extensionRow->setParent(parent.get());
                    changes.AddRow(OpNodeData::kTypeTree, extensionRow, parent);
                }
                row = extensionRow;
            }
            changes.AddFile(row, file);
        }
    }
    changes.OfferTypeRoots(getRootNode());
}

void KvTypeMgr::clear() {
    subNodeDict_.clear();
    placed_.clear();
    for (auto& [category, position] : typeIndexMap_)
        position = 0;
}

void KvTypeMgr::setNodeState(OpNodeData* extensionRow) {
    if (extensionRow == nullptr)
        return;
    size_t checked = 0;
    for (IFileNode* file : extensionRow->childFiles())
        checked += OpNodeData::fileNodeState(file) == CHECK_STATUS_CHECKED ? 1 : 0;
    const size_t files = extensionRow->childFiles().size();
    extensionRow->setNodeState(checked == 0 ? 0 : checked == files ? 2 : 1);
}

void KvTypeMgr::refreshTypeTreeState() {
    if (needRefreshTree_.exchange(0) == 0)
        return;
    for (unsigned int category : kListedCategories) {
        for (const OpNodeRef& extensionRow : rootNode_[category]->childRows())
            setNodeState(extensionRow.get());
    }
    OpNodeData* other = rootNode_[FILTER_TYPE_OTHER].get();
    if (!other->childFiles().empty())
        setNodeState(other);
}
