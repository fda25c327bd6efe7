#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// A transparently compressed HFS+ file: the "com.apple.decmpfs" attribute (a
// 16-byte little-endian header: magic "fpmc", compression type, uncompressed
// size; inline data after it) and, for the resource-fork types, the chunks of
// at most 64 KiB of output each that the fork's table points to.
class CHFSPlusDecmpfs {
public:
    static constexpr uint32_t kMagic = 0x636D7066;  // "fpmc" on disk
    static constexpr uint32_t kHeaderBytes = 16;
    static constexpr uint64_t kChunkBytes = 0x10000;
    // Inline data is at most a few KiB that no codec expands beyond this.
    static constexpr uint64_t kInlineSizeLimit = 16u << 20;
    // A table of more chunks than this (64 GiB of output) is not believed.
    static constexpr uint64_t kChunkLimit = 1u << 20;

    enum Type : uint32_t {
        kZlibInline = 3,
        kZlibResource = 4,
        kLzvnInline = 7,
        kLzvnResource = 8,
    };

    // Reads `length` bytes at `offset` of the resource fork; answers the bytes read.
    using ForkReader = std::function<uint64_t(uint64_t offset, uint8_t* into, uint64_t length)>;

    // The attribute's type and stated size, or false when it is no decmpfs header.
    static bool ReadHeader(const uint8_t* attribute, uint64_t length, uint32_t& type,
                           uint64_t& size);
    // The size a file of this header may have: the stated size, capped for inline data.
    static uint64_t BelievableSize(uint32_t type, uint64_t statedSize);

    // Checks the header and, for the resource-fork types, every entry of the
    // fork's chunk table against the fork's `forkLength` bytes. False for an
    // unsupported type or a damaged table.
    bool Open(const uint8_t* attribute, uint64_t length, ForkReader fork, uint64_t forkLength);
    // The file's size: the stated size, no larger than the chunks can hold.
    uint64_t Size() const { return size_; }
    uint32_t CompressionType() const { return type_; }
    // Decoded bytes from `offset`; fewer (0 at worst) where a chunk cannot be
    // read or decoded. Chunk k always gives bytes k x 64 KiB onwards.
    uint64_t Read(uint64_t offset, uint8_t* buffer, uint64_t length);

private:
    struct Chunk {
        uint64_t offset;  // in the fork
        uint32_t length;
    };

    bool OpenZlibTable(uint64_t forkLength);
    bool OpenLzvnTable(uint64_t forkLength);
    bool IsLzvn() const { return type_ == kLzvnInline || type_ == kLzvnResource; }
    // Decodes chunk `index` into `decoded_`; false when nothing came out.
    bool Decode(uint64_t index);
    uint64_t DecodeInto(const std::vector<uint8_t>& packed, uint64_t capacity);

    uint32_t type_ = 0;
    uint64_t size_ = 0;
    ForkReader fork_;
    std::vector<uint8_t> inline_;  // the compressed bytes after the header
    std::vector<Chunk> chunks_;
    std::vector<uint8_t> decoded_;
    uint64_t decodedIndex_ = UINT64_MAX;
};
