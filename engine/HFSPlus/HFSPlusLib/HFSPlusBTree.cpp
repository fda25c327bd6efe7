#include "HFSPlusBTree.h"

#include <cstring>
#include <memory>
#include <new>
#include <unordered_set>

#include "ByteOrder.h"
#include "DirectoryTreeBuilder.h"
#include "HFSPlusBTNode.h"
#include "HFSPlusEndian.h"
#include "HFSPlusFileNode.h"
#include "HFSPlusProgress.h"
#include "HFSPlusRawfile.h"
#include "HFSPlusResult.h"

namespace {

struct ArrayDelete {
    void operator()(unsigned char* p) const { delete[] p; }
    void operator()(BTKey* p) const { delete[] reinterpret_cast<unsigned char*>(p); }
};
using KeyCopy = std::unique_ptr<BTKey, ArrayDelete>;
using DataCopy = std::unique_ptr<unsigned char, ArrayDelete>;

}  // namespace

CHFSPlusBTree::CHFSPlusBTree(CHFSPlusVolume* volume, IHFSPlusBTreeOption* option)
    : volume_(volume), option_(option), result_(0) {
    if (volume == nullptr || option == nullptr)
        result_ = HFS_FAILURE(kResultBadArgument);
}

RESULT_CODE CHFSPlusBTree::Search(const BTKey* key, HFSPlusSearchResult& result,
                                  unsigned char** record) {
    std::memset(&result, 0, sizeof(result));
    if (record != nullptr)
        *record = nullptr;
    if (option_ == nullptr || key == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    const RESULT_CODE code = SearchFromRoot(key, result, record);
    if (IsSuccess(code) || option_->GetHeaderRec() == nullptr ||
        option_->GetHeaderRec()->rootNode == 0) {
        return code;
    }
    // A damaged index node: the leaves still lie in key order along their links.
    std::memset(&result, 0, sizeof(result));
    const RESULT_CODE chained = SearchLeafChain(key, result, record);
    return IsSuccess(chained) ? chained : code;
}

RESULT_CODE CHFSPlusBTree::SearchLeafChain(const BTKey* key, HFSPlusSearchResult& result,
                                           unsigned char** record) {
    const BTHeaderRec& header = *option_->GetHeaderRec();
    std::unordered_set<uint32_t> visited;
    for (uint32_t number = header.firstLeafNode; number != 0;) {
        if (visited.size() > header.totalNodes || !visited.insert(number).second)
            return HFS_FAILURE(kResultMalformed);
        std::unique_ptr<CHFSPlusBTNode> node(option_->CreateNode(number));
        if (!node || node->GetDescriptor() == nullptr || node->GetKind() != kBTLeafNode)
            return HFS_FAILURE(kResultMalformed);
        for (unsigned short n = 0; n < node->GetRecordCount(); ++n) {
            KeyCopy recordKey(option_->KeyRead(node.get(), n));
            if (!recordKey)
                return HFS_FAILURE(kResultMalformed);
            const int order = option_->Compare(recordKey.get(), key);
            if (order < 0)
                continue;
            if (order == 0 && record != nullptr) {
                *record = option_->DataRead(node.get(), n);
                if (*record == nullptr)
                    return HFS_FAILURE(kResultMalformed);
            }
            result.nodeNumber = number;
            result.recordIndex = n;
            result.found = order == 0 ? 1 : 0;
            return kResultSuccess;
        }
        number = node->GetDescriptor()->fLink;
    }
    return kResultSuccess;
}

RESULT_CODE CHFSPlusBTree::SearchFromRoot(const BTKey* key, HFSPlusSearchResult& result,
                                          unsigned char** record) {
    uint32_t number = option_->GetRoot();
    if (number == 0)
        return option_->GetLastError();

    // Each step goes one level down; a tree deeper than the bound is damaged.
    for (int depth = 0; depth < kMostDepth; ++depth) {
        std::unique_ptr<CHFSPlusBTNode> node(option_->CreateNode(number));
        if (!node)
            return option_->GetLastError();
        if (node->GetDescriptor() == nullptr)
            return node->GetLastError();
        const unsigned short count = node->GetRecordCount();
        if (node->GetKind() == kBTIndexNode) {
            int chosen = count - 1;
            for (unsigned short n = 0; n < count; ++n) {
                KeyCopy recordKey(option_->KeyRead(node.get(), n));
                if (!recordKey)
                    return option_->GetLastError();
                const int order = option_->Compare(recordKey.get(), key);
                if (order >= 0) {
                    chosen = order == 0 ? n : n - 1;
                    break;
                }
            }
            // A key below the first key of an index node is in no leaf.
            if (chosen < 0)
                return HFS_QUIET_FAILURE(kResultMalformed);
            number = option_->GetChild(node.get(), static_cast<unsigned short>(chosen));
            if (number == 0)
                return option_->GetLastError();
            continue;
        }
        if (node->GetKind() != kBTLeafNode)
            return HFS_FAILURE(kResultMalformed);
        for (unsigned short n = 0; n < count; ++n) {
            KeyCopy recordKey(option_->KeyRead(node.get(), n));
            if (!recordKey)
                return option_->GetLastError();
            const int order = option_->Compare(recordKey.get(), key);
            if (order < 0)
                continue;
            if (order == 0 && record != nullptr) {
                *record = option_->DataRead(node.get(), n);
                if (*record == nullptr)
                    return option_->GetLastError();
            }
            result.nodeNumber = number;
            result.recordIndex = n;
            result.found = order == 0 ? 1 : 0;
            return kResultSuccess;
        }
        return kResultSuccess;
    }
    return HFS_FAILURE(kResultMalformed);
}

struct CHFSPlusBTree::Walk {
    IDirecotryTreeBuilder* builder;
    CHFSPlusQuickFileSystemSearchProgress* progress;
    std::unordered_set<uint32_t> visited;
    std::unordered_set<uint32_t> leavesRead;
    bool stopped = false;
};

RESULT_CODE CHFSPlusBTree::Traverse(IDirecotryTreeBuilder* builder,
                                    CHFSPlusQuickFileSystemSearchProgress* progress) {
    if (option_ == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    const uint32_t root = option_->GetRoot();
    if (root == 0)
        return option_->GetLastError();
    Walk walk{builder, progress, {}, {}, false};
    const RESULT_CODE code = WalkNode(walk, root, 0);
    if (IsSuccess(code) || walk.stopped || progress == nullptr || (progress->Continued() == 0) ||
        option_->GetHeaderRec() == nullptr) {
        return code;
    }
    // A damaged index node hides the leaves below it; their sibling links
    // still reach them.
    return IsSuccess(WalkLeafChain(walk)) ? kResultSuccess : code;
}

RESULT_CODE CHFSPlusBTree::WalkLeafChain(Walk& walk) {
    const BTHeaderRec& header = *option_->GetHeaderRec();
    std::unordered_set<uint32_t> chained;
    for (uint32_t number = header.firstLeafNode; number != 0;) {
        if (chained.size() > header.totalNodes || !chained.insert(number).second)
            return HFS_FAILURE(kResultMalformed);
        std::unique_ptr<CHFSPlusBTNode> node(option_->CreateNode(number));
        if (!node || node->GetDescriptor() == nullptr || node->GetKind() != kBTLeafNode)
            return HFS_FAILURE(kResultMalformed);
        if (!walk.leavesRead.count(number)) {
            const RESULT_CODE code = ReadLeaf(walk, number, *node);
            if (IsFailure(code) || walk.stopped)
                return code;
        }
        number = node->GetDescriptor()->fLink;
    }
    return kResultSuccess;
}

RESULT_CODE CHFSPlusBTree::ReadLeaf(Walk& walk, uint32_t number, CHFSPlusBTNode& node) {
    walk.leavesRead.insert(number);
    for (unsigned short n = 0; n < node.GetRecordCount(); ++n) {
        if (walk.progress->Continued() == 0) {
            walk.stopped = true;
            return kResultSuccess;
        }
        KeyCopy key(option_->KeyRead(&node, n));
        DataCopy data(key ? option_->DataRead(&node, n) : nullptr);
        if (!key || !data)
            return option_->GetLastError();
        if (walk.builder == nullptr) {
            option_->KeyPrint(key.get());
            option_->DataPrint(data.get());
            continue;
        }
        auto* fileNode = new (std::nothrow) CHFSPlusFileNode(
            volume_, key.get(), reinterpret_cast<HFSPlusCatalogRecord*>(data.get()), 0);
        if (fileNode == nullptr)
            return HFS_FAILURE(kResultOutOfMemory);
        if (fileNode->GetCurrentNodeID() == -1) {
            delete fileNode;  // thread records make no node
            continue;
        }
        walk.progress->UpdateProgress();
        if (!walk.builder->AddNode(fileNode, SEARCHER_HFSPLUS))
            delete fileNode;
    }
    return kResultSuccess;
}

RESULT_CODE CHFSPlusBTree::WalkNode(Walk& walk, uint32_t number, int depth) {
    if (walk.progress != nullptr && walk.progress->Continued() == 0)
        return HFS_FAILURE(kResultStopped);
    // A child pointer back up the tree or across to a visited node is a loop.
    if (depth >= kMostDepth || !walk.visited.insert(number).second)
        return HFS_FAILURE(kResultMalformed);
    std::unique_ptr<CHFSPlusBTNode> node(option_->CreateNode(number));
    if (!node)
        return option_->GetLastError();
    if (node->GetDescriptor() == nullptr)
        return node->GetLastError();
    if (node->GetKind() != kBTIndexNode && node->GetKind() != kBTLeafNode)
        return HFS_FAILURE(kResultMalformed);
    const unsigned short count = node->GetRecordCount();
    if (count == 0 || walk.progress == nullptr)
        return kResultSuccess;
    if (node->GetKind() == kBTLeafNode)
        return ReadLeaf(walk, number, *node);

    for (unsigned short n = 0; n < count; ++n) {
        if (walk.progress->Continued() == 0) {
            walk.stopped = true;
            return kResultSuccess;
        }
        const uint32_t child = option_->GetChild(node.get(), n);
        if (child == 0)
            return option_->GetLastError();
        const RESULT_CODE code = WalkNode(walk, child, depth + 1);
        if (IsFailure(code) || walk.stopped)
            return code;
    }
    return kResultSuccess;
}

CHFSPlusBTreeOptionBase::CHFSPlusBTreeOptionBase(CHFSPlusVolume* volume, CHFSPlusRawfile* file)
    : volume_(volume), file_(file) {
    if (volume == nullptr || file == nullptr) {
        result_ = HFS_FAILURE(kResultBadArgument);
        return;
    }
    nodeSize_ = PreGetNodeSize(file);
    if (nodeSize_ == 0)
        return;
    headerNode_ = CreateNode(0);
    if (headerNode_ == nullptr)
        return;
    unsigned short length = 0;
    const unsigned char* record = headerNode_->GetRecord(0, &length);
    if (headerNode_->GetKind() != kBTHeaderNode || record == nullptr ||
        length < sizeof(BTHeaderRec)) {
        result_ = HFS_FAILURE(kResultMalformed);
        return;
    }
    std::memcpy(&header_, record, sizeof(header_));
    flipBTHeaderRec(&header_);
    hasHeader_ = true;
    result_ = kResultSuccess;
}

CHFSPlusBTreeOptionBase::~CHFSPlusBTreeOptionBase() {
    delete tree_;
    delete headerNode_;
}

void CHFSPlusBTreeOptionBase::MakeTree() {
    tree_ = new (std::nothrow) CHFSPlusBTree(volume_, this);
    if (tree_ == nullptr) {
        result_ = HFS_FAILURE(kResultOutOfMemory);
    } else if (IsSuccess(result_)) {
        result_ = tree_->GetLastError();
    }
}

uint16_t CHFSPlusBTreeOptionBase::PreGetNodeSize(CHFSPlusRawfile* file) {
    unsigned char first[512];
    if (file->Read(0, first, sizeof(first)) != sizeof(first)) {
        result_ = HFS_FAILURE(kResultShortRead);
        return 0;
    }
    const uint16_t size = ReadBE16(first + sizeof(BTNodeDescriptor) + 18);
    // Node sizes are powers of two from 512 to 32 KiB.
    if (size < 512 || size > CHFSPlusBTNode::kMostNodeSize || (size & (size - 1)) != 0) {
        result_ = HFS_FAILURE(kResultMalformed);
        return 0;
    }
    return size;
}

uint32_t CHFSPlusBTreeOptionBase::GetChild(CHFSPlusBTNode* node, unsigned short n) {
    if (node == nullptr || node->GetDescriptor() == nullptr) {
        result_ = node != nullptr ? node->GetLastError() : HFS_FAILURE(kResultBadArgument);
        return 0;
    }
    if (node->GetKind() != kBTIndexNode) {
        result_ = HFS_FAILURE(kResultMalformed);
        return 0;
    }
    unsigned short length = 0;
    const unsigned char* record = node->GetRecord(n, &length);
    if (record == nullptr || length < 2) {
        result_ = HFS_FAILURE(kResultMalformed);
        return 0;
    }
    // The pointer follows the key and must lie inside the record.
    const unsigned keyEnd = ReadBE16(record) + 2u;
    if (keyEnd + 4u > length) {
        result_ = HFS_FAILURE(kResultMalformed);
        return 0;
    }
    const uint32_t child = ReadBE32(record + keyEnd);
    if (child == 0)
        result_ = HFS_FAILURE(kResultMalformed);
    return child;
}

uint32_t CHFSPlusBTreeOptionBase::GetRoot() {
    if (!hasHeader_) {
        result_ = HFS_FAILURE(kResultNotInitialised);
        return 0;
    }
    if (header_.rootNode == 0)
        result_ = HFS_QUIET_FAILURE(kResultMissingObject);  // an empty tree
    return header_.rootNode;
}

CHFSPlusBTNode* CHFSPlusBTreeOptionBase::CreateNode(uint32_t number) {
    if (file_ == nullptr || nodeSize_ == 0) {
        result_ = HFS_FAILURE(kResultNotInitialised);
        return nullptr;
    }
    auto* buffer = new (std::nothrow) unsigned char[nodeSize_];
    if (buffer == nullptr) {
        result_ = HFS_FAILURE(kResultOutOfMemory);
        return nullptr;
    }
    if (file_->Read(uint64_t{number} * nodeSize_, buffer, nodeSize_) != nodeSize_) {
        delete[] buffer;
        result_ = HFS_FAILURE(kResultShortRead);
        return nullptr;
    }
    auto* node = new (std::nothrow) CHFSPlusBTNode(buffer, nodeSize_, 1);
    if (node == nullptr) {
        delete[] buffer;
        result_ = HFS_FAILURE(kResultOutOfMemory);
        return nullptr;
    }
    if (node->GetDescriptor() == nullptr) {
        result_ = node->GetLastError();
        delete node;
        return nullptr;
    }
    return node;
}

RESULT_CODE CHFSPlusBTreeOptionBase::Search(const BTKey* key, HFSPlusSearchResult& result,
                                            unsigned char** record) {
    if (tree_ == nullptr)
        return HFS_FAILURE(kResultNotInitialised);
    return tree_->Search(key, result, record);
}

RESULT_CODE CHFSPlusBTreeOptionBase::Traverse(IDirecotryTreeBuilder* builder,
                                              CHFSPlusQuickFileSystemSearchProgress* progress) {
    if (tree_ == nullptr)
        return HFS_FAILURE(kResultNotInitialised);
    return tree_->Traverse(builder, progress);
}
