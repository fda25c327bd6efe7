#pragma once

// Builders of B-tree nodes and records in on-disk (big-endian) form, a tree
// builder that keeps what it is given, and ways to reach into a fixture
// volume's structures.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "DirectoryTreeBuilder.h"
#include "FileNode.h"
#include "HFSPlusTestImages.h"
#include "Progress.h"

namespace harbex::test {

using Bytes = std::vector<uint8_t>;

// A node of `size` bytes of `kind` and `height` holding `records` in order.
inline Bytes MakeNode(uint16_t size, int8_t kind, uint8_t height, const std::vector<Bytes>& records,
                      uint32_t forwardLink = 0) {
    Bytes node(size, 0);
    PutBE32(node, 0, forwardLink);
    node[8] = static_cast<uint8_t>(kind);
    node[9] = height;
    PutBE16(node, 10, static_cast<uint16_t>(records.size()));
    size_t offset = 14;
    for (size_t i = 0; i < records.size(); ++i) {
        std::copy(records[i].begin(), records[i].end(), node.begin() + offset);
        PutBE16(node, size - 2 - 2 * i, static_cast<uint16_t>(offset));
        offset += records[i].size();
    }
    PutBE16(node, size - 2 - 2 * records.size(), static_cast<uint16_t>(offset));
    return node;
}

inline Bytes Utf16BE(const std::u16string& name) {
    Bytes out;
    for (char16_t c : name) {
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c));
    }
    return out;
}

// A catalog key: length, parent id, name.
inline Bytes CatalogKey(uint32_t parent, const std::u16string& name) {
    Bytes key(8, 0);
    PutBE16(key, 0, static_cast<uint16_t>(6 + 2 * name.size()));
    PutBE32(key, 2, parent);
    PutBE16(key, 6, static_cast<uint16_t>(name.size()));
    const Bytes units = Utf16BE(name);
    key.insert(key.end(), units.begin(), units.end());
    return key;
}

// An extents key and its record of eight {start, count} pairs.
inline Bytes ExtentsRecord(uint8_t fork, uint32_t fileId, uint32_t startBlock,
                           const std::vector<std::pair<uint32_t, uint32_t>>& extents) {
    Bytes record(12 + 64, 0);
    PutBE16(record, 0, 10);
    record[2] = fork;
    PutBE32(record, 4, fileId);
    PutBE32(record, 8, startBlock);
    for (size_t i = 0; i < extents.size() && i < 8; ++i) {
        PutBE32(record, 12 + 8 * i, extents[i].first);
        PutBE32(record, 16 + 8 * i, extents[i].second);
    }
    return record;
}

inline uint32_t GetBE32(const Bytes& b, size_t at) {
    return ReadBE32(b.data() + at);
}

// Where a fork of the volume header lies (byte offsets 112, 192, 272, 352).
struct ForkPlace {
    uint64_t firstByte;  // of its first extent
    uint32_t blocks;
};
inline ForkPlace ForkOf(const Bytes& image, size_t forkOffset) {
    const uint32_t blockSize = GetBE32(image, 1024 + 40);
    return {uint64_t{GetBE32(image, 1024 + forkOffset + 16)} * blockSize,
            GetBE32(image, 1024 + forkOffset + 12)};
}

// Replaces the volume's (empty) extents overflow tree with a header node and
// one leaf holding `records`, appended at the end of the volume.
inline void InstallExtentsLeaf(Bytes& image, const std::vector<Bytes>& records) {
    const uint32_t blockSize = GetBE32(image, 1024 + 40);
    const uint32_t totalBlocks = GetBE32(image, 1024 + 44);
    const ForkPlace old = ForkOf(image, 192);
    const uint16_t nodeSize = ReadBE16(image.data() + old.firstByte + 14 + 18);
    Bytes header(image.begin() + old.firstByte, image.begin() + old.firstByte + nodeSize);
    PutBE16(header, 14, 1);  // depth
    PutBE32(header, 16, 1);  // root
    PutBE32(header, 20, static_cast<uint32_t>(records.size()));
    PutBE32(header, 24, 1);  // first leaf
    PutBE32(header, 28, 1);  // last leaf
    PutBE32(header, 36, 2);  // total nodes
    PutBE32(header, 40, 0);  // free nodes
    const Bytes leaf = MakeNode(nodeSize, -1, 1, records);
    const uint32_t blocks = 2u * nodeSize / blockSize;
    image.resize(uint64_t{totalBlocks + blocks} * blockSize, 0);
    std::copy(header.begin(), header.end(), image.begin() + uint64_t{totalBlocks} * blockSize);
    std::copy(leaf.begin(), leaf.end(),
              image.begin() + uint64_t{totalBlocks} * blockSize + nodeSize);
    PutBE64(image, 1024 + 192, 2u * nodeSize);
    PutBE32(image, 1024 + 192 + 12, blocks);
    PutBE32(image, 1024 + 192 + 16, totalBlocks);
    PutBE32(image, 1024 + 192 + 20, blocks);
    PutBE32(image, 1024 + 44, totalBlocks + blocks);
}

// Keeps every node offered (owning them) and records the calls it gets.
class RecordingBuilder : public IDirecotryTreeBuilder {
public:
    ~RecordingBuilder() override {
        for (IFileNode* node : nodes)
            delete node;
    }
    bool Initialize(const char*, IDrirectoryTree*, IRecoveryFilter*) override { return true; }
    bool AddNode(IFileNode* node, _tagSearcherType type) override {
        if (type != SEARCHER_HFSPLUS)
            return false;
        nodes.push_back(node);
        return true;
    }
    bool AddSearcherInfo(_tagSearcherType, long long topId) override {
        topIds.push_back(topId);
        return true;
    }
    void FlashBuild(_tagSearcherType type) override { flashed.push_back(type); }
    void Release() override {}
    void SetPartitonDevice(CSearchedPartitionInfo*, IStorageDevice*) override {}

    // The offered node named `name`, or null.
    IFileNode* Named(const std::string& name) const {
        for (IFileNode* node : nodes) {
            if (name == node->GetFileName())
                return node;
        }
        return nullptr;
    }

    std::vector<IFileNode*> nodes;
    std::vector<long long> topIds;
    std::vector<_tagSearcherType> flashed;
};

// A sink that answers Continued() `continues` times with 1, then 0.
class CountingSink : public IProgress {
public:
    int UpdateProgress(_PROGRESS_INFO* info) override {
        records.push_back(*info);
        return 1;
    }
    int Continued() override { return continues-- > 0 ? 1 : 0; }
    int shouldBuild() override { return 1; }
    std::vector<_PROGRESS_INFO> records;
    long continues = 1L << 40;
};

}  // namespace harbex::test
