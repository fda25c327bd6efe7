// Which tree a node found on its own belongs to, guessed from its records.

#include <gtest/gtest.h>

#include "HFSPlusBTNode.h"
#include "HFSPlusTestTrees.h"

using namespace harbex::test;

namespace {

Bytes WithData(Bytes key, const Bytes& data) {
    key.insert(key.end(), data.begin(), data.end());
    return key;
}

Bytes TypedData(size_t length, uint32_t type32) {
    Bytes data(length, 0);
    PutBE32(data, 0, type32);
    return data;
}

int Guess(const std::vector<Bytes>& records) {
    Bytes bytes = MakeNode(4096, -1, 1, records);
    auto* buffer = new unsigned char[bytes.size()];
    std::copy(bytes.begin(), bytes.end(), buffer);
    CHFSPlusBTNode node(buffer, 4096, 1);
    return node.TestNodeBelongToFile();
}

}  // namespace

TEST(NodeOwnership, GuessesTheTreeFromTheRecords) {
    const Bytes catalogKey = CatalogKey(2, u"name");
    Bytes thread = {0, 3, 0, 0, 0, 0, 0, 2, 0, 1, 0, 'x'};
    Bytes folder(88, 0);
    folder[1] = 1;
    Bytes file(248, 0);
    file[1] = 2;
    const Bytes attrKey(14, 0);
    Bytes attrKeyWithLength = attrKey;
    PutBE16(attrKeyWithLength, 0, 12);
    const Bytes extents = ExtentsRecord(0, 20, 0, {});
    const Bytes extentsKey(extents.begin(), extents.begin() + 12);

    EXPECT_EQ(Guess({WithData(catalogKey, thread)}), 4);
    EXPECT_EQ(Guess({WithData(catalogKey, folder)}), 4);
    EXPECT_EQ(Guess({WithData(catalogKey, file)}), 4);
    EXPECT_EQ(Guess({WithData(attrKeyWithLength, TypedData(88, 0x20))}), 8);
    EXPECT_EQ(Guess({WithData(attrKeyWithLength, TypedData(72, 0x30))}), 8);
    EXPECT_EQ(Guess({ExtentsRecord(0, 20, 0, {{5, 5}})}), 3);
    EXPECT_EQ(Guess({WithData(extentsKey, Bytes(10, 0))}), 0);
    EXPECT_EQ(Guess({}), 0);
    // A later catalog record decides at once, whatever came before.
    EXPECT_EQ(Guess({ExtentsRecord(0, 20, 0, {{5, 5}}), WithData(catalogKey, file)}), 4);
}
