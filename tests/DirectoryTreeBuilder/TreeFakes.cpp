#include "TreeFakes.h"

#include "DataRunList.h"

namespace trees_test {

int FakeNode::live = 0;

FakeNode::FakeNode(const Fields& fields)
    : name_(fields.name),
      folder_(fields.folder),
      deleted_(fields.deleted),
      size_(fields.folder ? 0 : fields.size),
      modified_(fields.modified) {
    ++live;
    nodeId_ = fields.id;
    parentNodeId_ = fields.parentId;
    SetBelongedPartition(fields.partition);
}

FakeNode::FakeNode(const FakeNode& other)
    : CFileNode(other),
      name_(other.name_),
      folder_(other.folder_),
      deleted_(other.deleted_),
      size_(other.size_),
      modified_(other.modified_) {
    ++live;
}

void FakeNode::GiveExtent(int64_t firstCluster, uint64_t clusterCount) {
    if (!dataRunList_) {
        dataRunList_ = CreateDataRunList();
    }
    const DataRun run(firstCluster, clusterCount);
    dataRunList_->AddDataRun(&run);
}

int64_t FakeNode::FirstCluster() const {
    if (!dataRunList_) {
        return -1;
    }
    DataRun* run = dataRunList_->GetFirst();
    return run ? run->firstCluster : -1;
}

void RecordingTree::ShowNodes(IFileNode** nodes, unsigned int count, int lost) {
    batches.push_back({std::vector<IFileNode*>(nodes, nodes + count), lost});
    rootsBeforeBatch.push_back(roots.size());
}

void RecordingTree::ShowFilesystemNode(IFilesystemNode* root) {
    roots.push_back(root);
}

std::vector<IFileNode*> RecordingTree::AllShown() const {
    std::vector<IFileNode*> all;
    for (const Batch& batch : batches) {
        all.insert(all.end(), batch.nodes.begin(), batch.nodes.end());
    }
    return all;
}

IFileNode* RecordingTree::Shown(const std::string& name) const {
    for (IFileNode* node : AllShown()) {
        if (name == node->GetFileName()) {
            return node;
        }
    }
    return nullptr;
}

bool FakeFilter::IsFileNodeValid(IFileNode* node) {
    if (!node) {
        return false;
    }
    if (node->IsDirectory()) {
        return true;
    }
    const std::string name = node->GetFileName();
    const auto dot = name.rfind('.');
    return dot == std::string::npos || refusedExtensions.count(name.substr(dot + 1)) == 0;
}

Harness::Harness(bool restoring) : builder(CreateTreeBuilder(restoring, &clock)) {
    builder->Initialize("Disk1", &sink, &filter);
}

void Harness::Open(_tagSearcherType type, long long topId) {
    builder->AddSearcherInfo(type, topId);
}

bool Harness::Offer(const FakeNode::Fields& fields, _tagSearcherType type) {
    return Offer(new FakeNode(fields), type);
}

bool Harness::Offer(FakeNode* node, _tagSearcherType type) {
    if (builder->AddNode(node, type)) {
        return true;
    }
    node->Release();
    return false;
}

std::string PathOf(IFileNode* node) {
    std::string path;
    for (IFileNode* at = node; at && at->GetParent(); at = at->GetParent()) {
        path = path.empty() ? std::string(at->GetFileName())
                            : std::string(at->GetFileName()) + "/" + path;
    }
    return path;
}

}  // namespace trees_test
