#include "HFSPlusDecmpfs.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ByteOrder.h"
#include "HFSPlusLzvn.h"

namespace {

// A chunk stores at most its 64 KiB raw behind one mark byte; compressed
// chunks are smaller still.
constexpr uint64_t kPackedChunkLimit = CHFSPlusDecmpfs::kChunkBytes + 1024;
constexpr uint8_t kLzvnRawMark = 0x06;    // the end-of-stream opcode: no LZVN stream starts so
constexpr uint8_t kZlibRawNibble = 0x0F;  // no zlib stream has this compression method

uint64_t Inflate(const uint8_t* in, uint64_t inLength, uint8_t* out, uint64_t capacity) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return 0;
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = static_cast<uInt>(std::min<uint64_t>(inLength, UINT32_MAX));
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(std::min<uint64_t>(capacity, UINT32_MAX));
    inflate(&stream, Z_FINISH);  // a damaged stream leaves what it produced so far
    const uint64_t produced = stream.total_out;
    inflateEnd(&stream);
    return produced;
}

}  // namespace

bool CHFSPlusDecmpfs::ReadHeader(const uint8_t* attribute, uint64_t length, uint32_t& type,
                                 uint64_t& size) {
    if (attribute == nullptr || length < kHeaderBytes || ReadLE32(attribute) != kMagic)
        return false;
    type = ReadLE32(attribute + 4);
    size = ReadLE64(attribute + 8);
    return true;
}

uint64_t CHFSPlusDecmpfs::BelievableSize(uint32_t type, uint64_t statedSize) {
    if (type == kZlibInline || type == kLzvnInline)
        return std::min(statedSize, kInlineSizeLimit);
    return statedSize;
}

bool CHFSPlusDecmpfs::Open(const uint8_t* attribute, uint64_t length, ForkReader fork,
                           uint64_t forkLength) {
    chunks_.clear();
    inline_.clear();
    decoded_.clear();
    decodedIndex_ = UINT64_MAX;
    size_ = 0;
    uint64_t stated = 0;
    if (!ReadHeader(attribute, length, type_, stated))
        return false;
    switch (type_) {
        case kZlibInline:
        case kLzvnInline:
            if (length == kHeaderBytes)
                return false;
            inline_.assign(attribute + kHeaderBytes, attribute + length);
            size_ = BelievableSize(type_, stated);
            return true;
        case kZlibResource:
        case kLzvnResource:
            if (!fork)
                return false;
            fork_ = std::move(fork);
            if (!(type_ == kZlibResource ? OpenZlibTable(forkLength) : OpenLzvnTable(forkLength))) {
                chunks_.clear();
                return false;
            }
            size_ = std::min(stated, chunks_.size() * kChunkBytes);
            return true;
        default:
            return false;
    }
}

// A resource header (big-endian data offset first); at the data offset a
// big-endian length, a little-endian chunk count and (offset, length) pairs,
// offsets counted from 4 bytes after the data offset.
bool CHFSPlusDecmpfs::OpenZlibTable(uint64_t forkLength) {
    uint8_t head[16];
    if (fork_(0, head, sizeof(head)) != sizeof(head))
        return false;
    const uint64_t dataOffset = ReadBE32(head);
    if (dataOffset > forkLength || forkLength - dataOffset < 8)
        return false;
    uint8_t blockHead[8];
    if (fork_(dataOffset, blockHead, sizeof(blockHead)) != sizeof(blockHead))
        return false;
    const uint64_t count = ReadLE32(blockHead + 4);
    if (count == 0 || count > kChunkLimit || count > (forkLength - dataOffset - 8) / 8)
        return false;
    std::vector<uint8_t> table(count * 8);
    if (fork_(dataOffset + 8, table.data(), table.size()) != table.size())
        return false;
    const uint64_t base = dataOffset + 4;
    for (uint64_t k = 0; k < count; ++k) {
        const uint64_t offset = base + ReadLE32(&table[8 * k]);
        const uint64_t length = ReadLE32(&table[8 * k + 4]);
        if (length == 0 || length > kPackedChunkLimit || offset > forkLength ||
            forkLength - offset < length)
            return false;
        chunks_.push_back({offset, static_cast<uint32_t>(length)});
    }
    return true;
}

// Little-endian offsets: the first is the table's own size, chunk k runs from
// offset k to offset k + 1.
bool CHFSPlusDecmpfs::OpenLzvnTable(uint64_t forkLength) {
    uint8_t first[4];
    if (fork_(0, first, sizeof(first)) != sizeof(first))
        return false;
    const uint64_t tableBytes = ReadLE32(first);
    if (tableBytes < 8 || tableBytes % 4 != 0 || tableBytes > forkLength ||
        tableBytes / 4 - 1 > kChunkLimit)
        return false;
    std::vector<uint8_t> table(tableBytes);
    if (fork_(0, table.data(), table.size()) != table.size())
        return false;
    for (uint64_t k = 0; k + 1 < tableBytes / 4; ++k) {
        const uint64_t start = ReadLE32(&table[4 * k]);
        const uint64_t end = ReadLE32(&table[4 * k + 4]);
        if (start < tableBytes || end <= start || end > forkLength ||
            end - start > kPackedChunkLimit)
            return false;
        chunks_.push_back({start, static_cast<uint32_t>(end - start)});
    }
    return true;
}

uint64_t CHFSPlusDecmpfs::DecodeInto(const std::vector<uint8_t>& packed, uint64_t capacity) {
    uint8_t* out = decoded_.data();
    const bool raw =
        IsLzvn() ? packed[0] == kLzvnRawMark : (packed[0] & kZlibRawNibble) == kZlibRawNibble;
    if (raw) {
        const uint64_t take = std::min<uint64_t>(packed.size() - 1, capacity);
        std::memcpy(out, packed.data() + 1, take);
        return take;
    }
    if (IsLzvn())
        return lzvn_decode(out, capacity, packed.data(), packed.size());
    return Inflate(packed.data(), packed.size(), out, capacity);
}

bool CHFSPlusDecmpfs::Decode(uint64_t index) {
    if (index == decodedIndex_)
        return !decoded_.empty();
    decodedIndex_ = index;
    decoded_.clear();
    const bool inlineData = chunks_.empty();
    if (!inlineData && index >= chunks_.size())
        return false;
    const uint64_t expected =
        inlineData ? size_ : std::min(kChunkBytes, size_ - index * kChunkBytes);
    std::vector<uint8_t> packed;
    if (!inlineData) {
        const Chunk& chunk = chunks_[index];
        packed.resize(chunk.length);
        if (fork_(chunk.offset, packed.data(), packed.size()) != packed.size())
            return false;
    }
    const std::vector<uint8_t>& source = inlineData ? inline_ : packed;
    if (source.empty() || expected == 0)
        return false;
    decoded_.resize(expected);
    const uint64_t produced = DecodeInto(source, expected);
    decoded_.resize(produced);
    if (inlineData && produced != expected)
        std::fprintf(stderr, "decmpfs: size mismatch\n");
    return produced != 0;
}

uint64_t CHFSPlusDecmpfs::Read(uint64_t offset, uint8_t* buffer, uint64_t length) {
    uint64_t done = 0;
    while (done < length && offset + done < size_) {
        const uint64_t at = offset + done;
        const uint64_t index = chunks_.empty() ? 0 : at / kChunkBytes;
        if (!Decode(index))
            break;
        const uint64_t within = at - index * kChunkBytes;
        if (within >= decoded_.size())
            break;  // beyond what a short chunk gave
        const uint64_t take =
            std::min({length - done, uint64_t{decoded_.size()} - within, size_ - at});
        std::memcpy(buffer + done, decoded_.data() + within, take);
        done += take;
    }
    return done;
}
