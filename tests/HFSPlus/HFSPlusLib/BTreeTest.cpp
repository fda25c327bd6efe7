// B-tree nodes, record readers, key orders, and searches and walks over
// damaged trees.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "HFSPlusBTNode.h"
#include "HFSPlusBTreeOptions.h"
#include "HFSPlusProgress.h"
#include "HFSPlusRawfile.h"
#include "HFSPlusTestTrees.h"
#include "HFSPlusVolume.h"

using namespace harbex::test;

namespace {

struct NodeCase {
    const char* name;
    std::function<Bytes()> make;
    bool valid;
};

Bytes LeafOf(uint16_t size, uint8_t height) {
    return MakeNode(size, -1, height, {Bytes(20, 1), Bytes(30, 2)});
}

class NodeCheck : public ::testing::TestWithParam<NodeCase> {};

// A node that must be read with exactly its own bytes (the sanitizers see any overread).
struct ExactNode {
    explicit ExactNode(const Bytes& bytes)
        : buffer(new unsigned char[bytes.size()]),
          node((std::memcpy(buffer, bytes.data(), bytes.size()), buffer),
               static_cast<unsigned short>(bytes.size()), 1) {}
    unsigned char* buffer;
    CHFSPlusBTNode node;
};

BTKey* Key(const Bytes& onDisk) {
    // Keys compared by the trees are converted copies, as the readers make them.
    ExactNode holder(MakeNode(1024, -1, 1, {onDisk}));
    BTKey* key = nullptr;
    CHFSPlusCatalog::ReadKey(&holder.node, 0, key);
    return key;
}

struct KeyDeleter {
    void operator()(BTKey* key) const { delete[] reinterpret_cast<unsigned char*>(key); }
};
using KeyPtr = std::unique_ptr<BTKey, KeyDeleter>;

}  // namespace

TEST_P(NodeCheck, AcceptsOnlyWellFormedNodes) {
    const Bytes node = GetParam().make();
    EXPECT_EQ(CHFSPlusBTNode::IsValidNode(node.data(), static_cast<unsigned short>(node.size())),
              GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeCheck,
    ::testing::Values(NodeCase{"Leaf4096", [] { return LeafOf(4096, 1); }, true},
                      NodeCase{"LeafOfHeight2", [] { return LeafOf(4096, 2); }, false},
                      NodeCase{"Size600", [] { return Bytes(600, 0); }, false},
                      NodeCase{"HeaderOfHeight1", [] { return MakeNode(512, 1, 1, {}); }, false},
                      NodeCase{"UnknownKind", [] { return MakeNode(512, 3, 0, {}); }, false},
                      NodeCase{"IndexAnyHeight", [] { return MakeNode(512, 0, 7, {Bytes(12, 0)}); },
                               true},
                      NodeCase{"OffsetsNotRising",
                               [] {
                                   Bytes n = LeafOf(512, 1);
                                   PutBE16(n, 512 - 4, 10);
                                   return n;
                               },
                               false},
                      // More record slots than the node has bytes: no slot is read outside it.
                      NodeCase{"CountBeyondNode",
                               [] {
                                   Bytes n = LeafOf(512, 1);
                                   PutBE16(n, 10, 0xFFFF);
                                   return n;
                               },
                               false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordReaders, StayInsideTheirRecord) {
    // A key length far beyond the node, and a thread record cut by the node's end.
    Bytes longKey = CatalogKey(2, u"name");
    PutBE16(longKey, 0, 0x7FF0);
    Bytes thread = CatalogKey(16, u"");
    const Bytes threadData = {0, 3, 0, 0, 0, 0, 0, 2, 0, 4, 0, 'a', 0, 'b', 0, 'c', 0, 'd'};
    thread.insert(thread.end(), threadData.begin(), threadData.end());
    ExactNode leaf(MakeNode(512, -1, 1, {longKey, thread}));

    BTKey* key = nullptr;
    EXPECT_EQ(CHFSPlusCatalog::ReadKey(&leaf.node, 0, key), 0u);
    KeyPtr kept(key);
    EXPECT_EQ(uint32_t{key->catalog.parentID}, 2u);
    unsigned char* data = nullptr;
    EXPECT_TRUE(IsFailure(CHFSPlusCatalog::ReadData(&leaf.node, 0, data)));
    EXPECT_EQ(data, nullptr);

    ASSERT_EQ(CHFSPlusCatalog::ReadData(&leaf.node, 1, data), 0u);
    const auto* record = reinterpret_cast<HFSPlusCatalogRecord*>(data);
    EXPECT_EQ(int16_t{record->thread.recordType}, kHFSPlusFolderThreadRecord);
    EXPECT_EQ(uint32_t{record->thread.parentID}, 2u);
    EXPECT_EQ(uint16_t{record->thread.nodeName.length}, 4u);
    delete[] data;

    // The child pointer after an index key must lie inside the record too.
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_512"), 512);
    CHFSPlusVolume volume(&device, false);
    ExactNode index(MakeNode(512, 0, 2, {longKey}));
    EXPECT_EQ(volume.GetCatalogTree()->GetChild(&index.node, 0), 0u);
}

TEST(RecordReaders, InlineAttributeDataIsCappedToItsRecord) {
    Bytes record(14, 0);
    PutBE16(record, 0, 12);  // key length: empty name
    PutBE32(record, 4, 77);
    Bytes data(16 + 8, 0xAB);
    PutBE32(data, 0, kHFSPlusAttrInlineData);
    PutBE32(data, 12, 0xFFFFFF00);  // claims nearly 4 GiB
    record.insert(record.end(), data.begin(), data.end());
    ExactNode leaf(MakeNode(512, -1, 1, {record}));
    unsigned char* copy = nullptr;
    ASSERT_EQ(CHFSPlusAttribute::ReadData(&leaf.node, 0, copy), 0u);
    EXPECT_EQ(uint32_t{reinterpret_cast<HFSPlusAttrRecord*>(copy)->inlineData.attrSize}, 8u);
    unsigned char* clone = CHFSPlusAttribute::CloneRecord(copy);
    EXPECT_EQ(CHFSPlusAttribute::RecordSize(clone), 24u);
    delete[] clone;
    delete[] copy;
}

TEST(RecordReaders, ThreadCheckCapsTheNameLength) {
    Bytes thread = {0, 4, 0, 0, 0, 0, 0, 2};
    thread.resize(610, 'x');
    PutBE16(thread, 8, 300);  // 2 x 300 + 10 == 610, but a name holds 255 units
    EXPECT_FALSE(CHFSPlusBTNode::IsValidCatalogThread(thread.data(), 610));
    thread.resize(20);
    PutBE16(thread, 8, 5);
    EXPECT_TRUE(CHFSPlusBTNode::IsValidCatalogThread(thread.data(), 20));
}

TEST(KeyOrders, CaseFoldingAndBinaryCatalogOrder) {
    struct Case {
        std::u16string a;
        std::u16string b;
        int folded;
        int binary;
    };
    const Case cases[] = {
        {u"abc", u"ABC", 0, 1},      {u"a", u"b", -1, -1},
        {u"ab", u"abc", -1, -1},     {u"a\u200Cb", u"ab", 0, 1},
        {u"a:b", u"a/b", 0, 0},      {u"\u00C9t\u00E9", u"\u00E9T\u00C9", 0, -1},
        {u"Zebra", u"apple", 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a.begin(), c.a.end()));
        KeyPtr a(Key(CatalogKey(5, c.a)));
        KeyPtr b(Key(CatalogKey(5, c.b)));
        EXPECT_EQ(CHFSPlusCatalog::CompareKey(a.get(), b.get(), 0xCF), c.folded);
        EXPECT_EQ(CHFSPlusCatalog::CompareKey(a.get(), b.get(), 0xBC), c.binary);
    }
    KeyPtr low(Key(CatalogKey(4, u"z")));
    KeyPtr high(Key(CatalogKey(5, u"a")));
    EXPECT_EQ(CHFSPlusCatalog::CompareKey(low.get(), high.get(), 0xCF), -1);

    // Lengths beyond 255 units compare 255 of them.
    KeyPtr huge(Key(CatalogKey(5, std::u16string(300, u'x'))));
    KeyPtr capped(Key(CatalogKey(5, std::u16string(255, u'x'))));
    EXPECT_EQ(CHFSPlusCatalog::CompareKey(huge.get(), capped.get(), 0xCF), 0);
}

TEST(BTreeSearch, FindsLiveKeysAndClearsTheResultOtherwise) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_2048"), 512);
    CHFSPlusVolume volume(&device, false);
    ASSERT_EQ(volume.GetLastError(), 0u);
    struct Lookup {
        uint32_t parent;
        std::u16string name;
        bool found;
    };
    // "Many" holds 1500 files spread over many leaves.
    const Lookup lookups[] = {{2, u"README.txt", true},   {2, u"readme.TXT", true},
                              {2, u"Many", true},         {2, u"nothing here", false},
                              {0xFFFFFF, u"late", false}, {2, u"", true}};
    for (const Lookup& lookup : lookups) {
        SCOPED_TRACE(std::string(lookup.name.begin(), lookup.name.end()));
        KeyPtr key(Key(CatalogKey(lookup.parent, lookup.name)));
        HFSPlusSearchResult result{};
        unsigned char* record = nullptr;
        volume.Search(CHFSPlusVolume::kCatalogTree, key.get(), result, &record);
        EXPECT_EQ(result.found, lookup.found ? 1 : 0);
        EXPECT_EQ(record != nullptr, lookup.found);
        delete[] record;
    }
    KeyPtr many(Key(CatalogKey(2, u"Many")));
    HFSPlusSearchResult result{};
    unsigned char* record = nullptr;
    ASSERT_EQ(volume.Search(CHFSPlusVolume::kCatalogTree, many.get(), result, &record), 0u);
    const uint32_t folder = reinterpret_cast<HFSPlusCatalogRecord*>(record)->folder.folderID;
    delete[] record;
    for (const char16_t* name : {u"file 0001.txt", u"file 0777.txt", u"file 1500.txt"}) {
        KeyPtr key(Key(CatalogKey(folder, name)));
        volume.Search(CHFSPlusVolume::kCatalogTree, key.get(), result, nullptr);
        EXPECT_EQ(result.found, 1);
    }
}

TEST(BTreeSearch, ChildPointerLoopsEndCleanly) {
    Bytes image = HFSPlusImage("hfsplus_2048");
    const ForkPlace catalog = ForkOf(image, 272);
    const uint16_t nodeSize = ReadBE16(image.data() + catalog.firstByte + 14 + 18);
    const uint32_t root = GetBE32(image, catalog.firstByte + 14 + 2);
    // The root's first child pointer leads back to the root.
    const uint64_t rootAt = catalog.firstByte + uint64_t{root} * nodeSize;
    const uint16_t firstRecord = ReadBE16(image.data() + rootAt + nodeSize - 2);
    const uint16_t keyLength = ReadBE16(image.data() + rootAt + firstRecord);
    PutBE32(image, rootAt + firstRecord + 2 + keyLength, root);

    {
        // The leaves, linked to each other, still answer.
        HFSPlusMemoryDevice device(image, 512);
        CHFSPlusVolume volume(&device, false);
        ASSERT_EQ(volume.GetLastError(), 0u);
        KeyPtr key(Key(CatalogKey(2, u"README.txt")));
        HFSPlusSearchResult result{};
        EXPECT_TRUE(
            IsSuccess(volume.Search(CHFSPlusVolume::kCatalogTree, key.get(), result, nullptr)));
        EXPECT_EQ(result.found, 1);
        RecordingBuilder builder;
        CHFSPlusQuickFileSystemSearchProgress progress(nullptr, true);
        EXPECT_TRUE(IsSuccess(volume.QuickSearchFiles(&builder, &progress)));
    }
    // With the root unreadable and the last leaf linked back to the first,
    // the leaf walk ends too.
    image[rootAt + 8] = 5;  // no kind of node
    const uint32_t firstLeaf = GetBE32(image, catalog.firstByte + 14 + 10);
    const uint32_t lastLeaf = GetBE32(image, catalog.firstByte + 14 + 14);
    PutBE32(image, catalog.firstByte + uint64_t{lastLeaf} * nodeSize, firstLeaf);
    HFSPlusMemoryDevice device(image, 512);
    CHFSPlusVolume volume(&device, false);
    ASSERT_EQ(volume.GetLastError(), 0u);
    KeyPtr beyond(Key(CatalogKey(0x7FFFFFF0, u"z")));
    HFSPlusSearchResult result{};
    EXPECT_TRUE(
        IsFailure(volume.Search(CHFSPlusVolume::kCatalogTree, beyond.get(), result, nullptr)));
    RecordingBuilder builder;
    CHFSPlusQuickFileSystemSearchProgress progress(nullptr, true);
    EXPECT_TRUE(IsFailure(volume.QuickSearchFiles(&builder, &progress)));
}

TEST(BTreeOptions, AFailedTreeFileIsReportedAsAFailure) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_512"), 512);
    CHFSPlusVolume volume(&device, false);
    const HFSPlusForkData empty{};
    CHFSPlusRawfile file(&volume, 4, empty);
    CHFSPlusCatalog catalog(&volume, &file);
    EXPECT_TRUE(IsFailure(catalog.GetLastError()));
    EXPECT_EQ(catalog.GetHeaderRec(), nullptr);
    HFSPlusSearchResult result{};
    KeyPtr key(Key(CatalogKey(2, u"a.txt")));
    EXPECT_TRUE(IsFailure(catalog.Search(key.get(), result, nullptr)));
}

TEST(BTreeTraverse, WithoutProgressNothingPastTheRootIsRead) {
    HFSPlusMemoryDevice device(HFSPlusImage("hfsplus_512"), 512);
    CHFSPlusVolume volume(&device, false);
    RecordingBuilder builder;
    EXPECT_EQ(volume.GetCatalogTree()->Traverse(&builder, nullptr), 0u);
    EXPECT_TRUE(builder.nodes.empty());
}
