// Compressed HFS+ files: the LZVN decoder on hand-encoded streams, and the
// decmpfs layouts (inline and resource-fork chunks, raw chunks, damaged tables).

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "HFSPlusDecmpfs.h"
#include "HFSPlusLzvn.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

const Bytes kEnd = {0x06, 0, 0, 0, 0, 0, 0, 0};

std::string Decode(const Bytes& stream, unsigned long capacity = 4096) {
    std::string out(capacity, '\0');
    const unsigned long written = lzvn_decode(out.data(), capacity, stream.data(), stream.size());
    out.resize(written);
    return out;
}

struct LzvnCase {
    const char* name;
    Bytes stream;
    std::string expected;  // empty: the stream is refused
};

class LzvnStreams : public ::testing::TestWithParam<LzvnCase> {};

}  // namespace

TEST_P(LzvnStreams, DecodeAsEncoded) {
    const LzvnCase& c = GetParam();
    EXPECT_EQ(Decode(c.stream), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LzvnStreams,
    ::testing::Values(
        LzvnCase{"SmallLiteral", Concat({{0xE3}, Text("abc"), kEnd}), "abc"},
        LzvnCase{"LargeLiteral", Concat({{0xE0, 0x04}, Text("0123456789abcdefghij"), kEnd}),
                 "0123456789abcdefghij"},
        // 2 literals, a 3-byte match 2 back.
        LzvnCase{"SmallDistance", Concat({{0x80, 0x02}, Text("ab"), kEnd}), "ababa"},
        // 1 literal, a 5-byte match 1 back.
        LzvnCase{"MediumDistance", Concat({{0xA8, 0x06, 0x00}, Text("x"), kEnd}), "xxxxxx"},
        // 3 literals, a 4-byte match 3 back; then the previous distance with 1
        // literal and 3 bytes, 2 more bytes, 16 more bytes, a no-op between.
        LzvnCase{"LargeAndPreviousDistanceAndMatches",
                 Concat({{0xCF, 0x03, 0x00},
                         Text("abc"),
                         {0x46},
                         Text("z"),
                         {0x0E, 0xF2},
                         {0xF0, 0x00},
                         kEnd}),
                 "abcabcazcazca" + std::string("zcazcazcazcazcaz")},
        LzvnCase{"EndOfStreamAloneIsEmpty", kEnd, ""},
        LzvnCase{"UndefinedOpcode", Concat({{0xE1}, Text("a"), {0x1E}, kEnd}), ""},
        LzvnCase{"MatchBeforeTheStart", Concat({{0x80, 0x05}, Text("ab"), kEnd}), ""},
        LzvnCase{"MatchWithoutDistance", Concat({{0xE1}, Text("a"), {0xF3}, kEnd}), ""},
        LzvnCase{"LiteralsBeyondTheSource", Bytes{0xE9, 'a', 'b'}, ""},
        LzvnCase{"NoEndOfStream", Concat({{0xE3}, Text("abc")}), ""},
        LzvnCase{"OperandCutOff", Bytes{0xE3, 'a', 'b', 'c', 0xA8, 0x06}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Lzvn, LargeDistanceIsLittleEndian) {
    // 258 literals, then 3 bytes from 258 back (distance bytes 0x02 0x01).
    Bytes literals(258);
    for (size_t i = 0; i < literals.size(); ++i)
        literals[i] = static_cast<uint8_t>(i * 7 + 1);
    const std::string out = Decode(Concat({{0xE0, 0xF2}, literals, {0x07, 0x02, 0x01}, kEnd}));
    ASSERT_EQ(out.size(), 261u);
    EXPECT_EQ(out.substr(258), std::string(literals.begin(), literals.begin() + 3));
}

TEST(Lzvn, StopsAtTheCapacity) {
    // 1 literal and an 8-byte match 1 back, then 271 bytes more: 280 bytes.
    const Bytes stream = Concat({{0x68, 0x01}, Text("q"), {0xF0, 0xFF}, kEnd});
    EXPECT_EQ(Decode(stream, 100), std::string(100, 'q'));
    EXPECT_EQ(Decode(stream, 280), std::string(280, 'q'));
}

namespace {

constexpr uint64_t kChunk = CHFSPlusDecmpfs::kChunkBytes;

Bytes Header(uint32_t type, uint64_t size) {
    Bytes header(16);
    const uint32_t magic = CHFSPlusDecmpfs::kMagic;
    std::memcpy(&header[0], &magic, 4);
    std::memcpy(&header[4], &type, 4);
    std::memcpy(&header[8], &size, 8);
    return header;
}

Bytes Zlib(const Bytes& data) {
    uLongf length = compressBound(data.size());
    Bytes packed(length);
    compress2(packed.data(), &length, data.data(), data.size(), 9);
    packed.resize(length);
    return packed;
}

// A file's bytes: a pattern with a period that is not a power of two.
Bytes Pattern(uint64_t size, uint8_t seed) {
    Bytes data(size);
    for (uint64_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>((i % 251) ^ seed);
    return data;
}

// 65,536 times 'q': 9 from one literal and a match, the rest in long matches.
Bytes LzvnOfQs() {
    Bytes stream = {0x68, 0x01, 'q'};
    for (int i = 0; i < 241; ++i)
        stream.insert(stream.end(), {0xF0, 0xFF});
    stream.insert(stream.end(), {0xF0, 0xC8});
    return Concat({stream, kEnd});
}

void PutLE32(Bytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutBE32(Bytes& out, uint32_t value) {
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Bytes LzvnFork(const std::vector<Bytes>& chunks) {
    Bytes fork;
    uint32_t at = 4 * static_cast<uint32_t>(chunks.size() + 1);
    PutLE32(fork, at);
    for (const Bytes& chunk : chunks)
        PutLE32(fork, at += static_cast<uint32_t>(chunk.size()));
    for (const Bytes& chunk : chunks)
        fork.insert(fork.end(), chunk.begin(), chunk.end());
    return fork;
}

Bytes ZlibFork(const std::vector<Bytes>& chunks) {
    Bytes table;
    PutLE32(table, static_cast<uint32_t>(chunks.size()));
    uint32_t at = 4 + 8 * static_cast<uint32_t>(chunks.size());
    for (const Bytes& chunk : chunks) {
        PutLE32(table, at);
        PutLE32(table, static_cast<uint32_t>(chunk.size()));
        at += static_cast<uint32_t>(chunk.size());
    }
    for (const Bytes& chunk : chunks)
        table.insert(table.end(), chunk.begin(), chunk.end());
    Bytes fork;
    PutBE32(fork, 0x100);
    PutBE32(fork, 0x104 + static_cast<uint32_t>(table.size()));
    PutBE32(fork, 4 + static_cast<uint32_t>(table.size()));
    PutBE32(fork, 0x32);
    fork.resize(0x100);
    PutBE32(fork, static_cast<uint32_t>(table.size()));
    fork.insert(fork.end(), table.begin(), table.end());
    fork.resize(fork.size() + 0x32);
    return fork;
}

// A decmpfs file over an attribute and a fork held in memory.
struct MemoryFile {
    Bytes attribute;
    Bytes fork;
    CHFSPlusDecmpfs decmpfs;

    bool Open() {
        return decmpfs.Open(
            attribute.data(), attribute.size(),
            [this](uint64_t offset, uint8_t* into, uint64_t length) -> uint64_t {
                if (offset >= fork.size())
                    return 0;
                const uint64_t take = std::min<uint64_t>(length, fork.size() - offset);
                std::memcpy(into, fork.data() + offset, take);
                return take;
            },
            fork.size());
    }

    Bytes Read(uint64_t offset, uint64_t length) {
        Bytes out(length);
        out.resize(decmpfs.Read(offset, out.data(), length));
        return out;
    }
};

Bytes Slice(const Bytes& data, uint64_t offset, uint64_t length) {
    return Bytes(data.begin() + offset, data.begin() + offset + length);
}

}  // namespace

TEST(Decmpfs, InlineZlibGivesItsStatedSizeFromAnyOffset) {
    const Bytes data = Pattern(4096, 1);
    MemoryFile file{Concat({Header(3, 4096), Zlib(data)}), {}, {}};
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.Read(0, 8192), data);
    EXPECT_EQ(file.Read(4000, 8192), Slice(data, 4000, 96));
    EXPECT_TRUE(file.Read(4096, 10).empty());
}

TEST(Decmpfs, InlineDataShortOfItsStatedSizeGivesWhatItHas) {
    const Bytes data = Pattern(4000, 2);
    MemoryFile file{Concat({Header(3, 4096), Zlib(data)}), {}, {}};
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.Read(0, 8192), data);
}

TEST(Decmpfs, InlineRawAndLzvnData) {
    const Bytes data = Text("stored as it is");
    MemoryFile zlibRaw{Concat({Header(3, data.size()), {0xFF}, data}), {}, {}};
    ASSERT_TRUE(zlibRaw.Open());
    EXPECT_EQ(zlibRaw.Read(0, 100), data);
    MemoryFile lzvnRaw{Concat({Header(7, data.size()), {0x06}, data}), {}, {}};
    ASSERT_TRUE(lzvnRaw.Open());
    EXPECT_EQ(lzvnRaw.Read(0, 100), data);
    MemoryFile lzvn{Concat({Header(7, 5), {0x80, 0x02}, Text("ab"), kEnd}), {}, {}};
    ASSERT_TRUE(lzvn.Open());
    EXPECT_EQ(lzvn.Read(0, 100), Text("ababa"));
}

TEST(Decmpfs, UnsupportedTypesAndBadHeadersAreRefused) {
    for (uint32_t type : {1u, 5u, 9u, 11u, 12u}) {
        MemoryFile file{Concat({Header(type, 100), Pattern(40, 3)}), Pattern(400, 3), {}};
        EXPECT_FALSE(file.Open()) << type;
        EXPECT_TRUE(file.Read(0, 100).empty());
    }
    MemoryFile noMagic{Concat({Header(3, 100), Zlib(Pattern(100, 4))}), {}, {}};
    noMagic.attribute[0] ^= 0xFF;
    EXPECT_FALSE(noMagic.Open());
    MemoryFile headerOnly{Header(3, 100), {}, {}};
    EXPECT_FALSE(headerOnly.Open());
}

TEST(Decmpfs, LzvnForkChunksWithRawChunksReadAtAnyOffset) {
    // Chunk 0 stored raw, chunk 1 LZVN ('q' x 65536), chunk 2 raw and short.
    const Bytes first = Pattern(kChunk, 5);
    const Bytes last = Pattern(1000, 6);
    const Bytes data = Concat({first, Bytes(kChunk, 'q'), last});
    MemoryFile file{Header(8, data.size()),
                    LzvnFork({Concat({{0x06}, first}), LzvnOfQs(), Concat({{0x06}, last})}),
                    {}};
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.decmpfs.Size(), data.size());
    EXPECT_EQ(file.Read(70000, 1000), Slice(data, 70000, 1000));
    EXPECT_EQ(file.Read(65000, 2000), Slice(data, 65000, 2000));
    EXPECT_EQ(file.Read(0, data.size() + 10), data);
}

TEST(Decmpfs, ZlibForkChunksWithARawChunk) {
    const Bytes first = Pattern(kChunk, 7);
    const Bytes second = Pattern(kChunk, 8);
    const Bytes last = Pattern(30000, 9);
    const Bytes data = Concat({first, second, last});
    MemoryFile file{
        Header(4, data.size()), ZlibFork({Zlib(first), Concat({{0xFF}, second}), Zlib(last)}), {}};
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.Read(0, data.size()), data);
    EXPECT_EQ(file.Read(kChunk - 5, 10), Slice(data, kChunk - 5, 10));
}

TEST(Decmpfs, AFailedChunkDoesNotShiftTheChunksAfterIt) {
    const Bytes first = Pattern(kChunk, 10);
    const Bytes last = Pattern(500, 11);
    const Bytes broken = Concat({{0xE1, 'x', 0x1E}, kEnd});  // an undefined opcode
    MemoryFile file{Header(8, 2 * kChunk + last.size()),
                    LzvnFork({Concat({{0x06}, first}), broken, Concat({{0x06}, last})}),
                    {}};
    ASSERT_TRUE(file.Open());
    EXPECT_EQ(file.Read(0, 3 * kChunk), first);  // stops at the failed chunk
    EXPECT_TRUE(file.Read(kChunk, 100).empty());
    EXPECT_EQ(file.Read(2 * kChunk, 500), last);
}

TEST(Decmpfs, StatedSizesAreCappedToWhatTheDataCanHold) {
    MemoryFile fork{
        Header(8, uint64_t{8} << 30), LzvnFork({Concat({{0x06}, Pattern(100, 12)})}), {}};
    ASSERT_TRUE(fork.Open());
    EXPECT_EQ(fork.decmpfs.Size(), kChunk);
    EXPECT_EQ(fork.Read(0, 1000), Pattern(100, 12));

    MemoryFile inlineData{Concat({Header(3, uint64_t{1} << 40), Zlib(Pattern(300, 13))}), {}, {}};
    ASSERT_TRUE(inlineData.Open());
    EXPECT_EQ(inlineData.decmpfs.Size(), CHFSPlusDecmpfs::kInlineSizeLimit);
    EXPECT_EQ(inlineData.Read(0, 1000), Pattern(300, 13));
}

TEST(Decmpfs, TruncatedCompressedDataGivesWhatItHolds) {
    const Bytes data = Pattern(4096, 14);
    Bytes packed = Zlib(data);
    packed.resize(packed.size() / 2);
    MemoryFile file{Concat({Header(3, data.size()), packed}), {}, {}};
    ASSERT_TRUE(file.Open());
    const Bytes read = file.Read(0, data.size());
    EXPECT_LT(read.size(), data.size());
    EXPECT_EQ(read, Slice(data, 0, read.size()));
}

namespace {

struct TableDamage {
    const char* name;
    uint32_t type;
    size_t at;  // byte of the fork to change
    uint32_t value;
};

class DamagedChunkTables : public ::testing::TestWithParam<TableDamage> {};

void PutLE32At(Bytes& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

TEST_P(DamagedChunkTables, AreRefused) {
    const TableDamage& damage = GetParam();
    const std::vector<Bytes> chunks = {Concat({{0x06}, Pattern(kChunk, 15)}),
                                       Concat({{0x06}, Pattern(100, 16)})};
    Bytes fork = damage.type == 8 ? LzvnFork(chunks) : ZlibFork(chunks);
    if (damage.at == 0 && damage.type == 4) {
        fork[0] = static_cast<uint8_t>(damage.value >> 24);  // big-endian data offset
        fork[1] = static_cast<uint8_t>(damage.value >> 16);
        fork[2] = static_cast<uint8_t>(damage.value >> 8);
        fork[3] = static_cast<uint8_t>(damage.value);
    } else {
        PutLE32At(fork, damage.at, damage.value);
    }
    MemoryFile file{Header(damage.type, kChunk + 100), fork, {}};
    EXPECT_FALSE(file.Open());
    EXPECT_TRUE(file.Read(0, 100).empty());
}

// Zlib fork: data offset at 0 (big-endian), count at 0x104, then (offset,
// length) pairs from 0x108. LZVN fork: offsets from 0.
INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedChunkTables,
    ::testing::Values(TableDamage{"ZlibDataOffsetBeyondFork", 4, 0, 0x7FFFFFF0},
                      TableDamage{"ZlibHugeCount", 4, 0x104, 0x40000000},
                      TableDamage{"ZlibCountBeyondFork", 4, 0x104, 3},
                      TableDamage{"ZlibChunkOffsetBeyondFork", 4, 0x110, 0x10000000},
                      TableDamage{"ZlibChunkLengthBeyondFork", 4, 0x114, 0x20000},
                      TableDamage{"ZlibEmptyChunk", 4, 0x10C, 0},
                      TableDamage{"LzvnTableBeyondFork", 8, 0, 0x10000000},
                      TableDamage{"LzvnTableNotInWords", 8, 0, 10},
                      TableDamage{"LzvnTableTooShort", 8, 0, 4},
                      TableDamage{"LzvnOffsetsGoingBack", 8, 4, 8},
                      TableDamage{"LzvnLastOffsetBeyondFork", 8, 8, 0x7FFFFFFF}),
    [](const auto& info) { return std::string(info.param.name); });
