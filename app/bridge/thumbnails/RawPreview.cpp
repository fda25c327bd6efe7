#include "RawPreview.h"

#include <cstring>
#include <deque>
#include <set>

#include "ByteOrder.h"

namespace {

// Directory walks stop here: a file naming more is damaged or hostile.
constexpr int kMaxDirectories = 64;
constexpr uint16_t kMaxEntries = 1024;

constexpr uint16_t kTagSubDirectories = 0x014A;
constexpr uint16_t kTagExifDirectory = 0x8769;
constexpr uint16_t kTagCompression = 0x0103;
constexpr uint16_t kTagStripOffsets = 0x0111;
constexpr uint16_t kTagStripByteCounts = 0x0117;
constexpr uint16_t kTagJpegOffset = 0x0201;
constexpr uint16_t kTagJpegLength = 0x0202;
constexpr uint16_t kTagPanasonicJpeg = 0x002E;

class TiffReader {
public:
    TiffReader(const uint8_t* data, size_t size, bool bigEndian)
        : data_(data), size_(size), big_(bigEndian) {}

    bool Has(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    uint32_t U16(size_t at) const { return big_ ? ReadBE16(data_ + at) : ReadLE16(data_ + at); }
    uint32_t U32(size_t at) const { return big_ ? ReadBE32(data_ + at) : ReadLE32(data_ + at); }

private:
    const uint8_t* data_;
    size_t size_;
    bool big_;
};

size_t TypeSize(uint32_t type) {
    switch (type) {
        case 3:
        case 8:
            return 2;
        case 4:
        case 9:
        case 11:
        case 13:
            return 4;
        case 5:
        case 10:
        case 12:
            return 8;
        default:
            return 1;
    }
}

class PreviewSearch {
public:
    PreviewSearch(const uint8_t* data, size_t size, bool bigEndian)
        : data_(data), size_(size), tiff_(data, size, bigEndian) {}

    void Walk(uint32_t first) {
        std::deque<uint32_t> pending{first};
        std::set<uint32_t> seen;
        while (!pending.empty() && static_cast<int>(seen.size()) < kMaxDirectories) {
            const uint32_t at = pending.front();
            pending.pop_front();
            if (at == 0 || !seen.insert(at).second || !tiff_.Has(at, 2))
                continue;
            const uint32_t entries = tiff_.U16(at);
            if (entries > kMaxEntries || !tiff_.Has(at + 2, entries * 12 + 4))
                continue;
            ReadDirectory(at + 2, entries, pending);
            pending.push_back(tiff_.U32(at + 2 + entries * 12));
        }
    }

    void Consider(uint64_t offset, uint64_t length) {
        if (length < 4 || !tiff_.Has(offset, length) || data_[offset] != 0xFF ||
            data_[offset + 1] != 0xD8)
            return;
        if (!best_ || length > best_->length)
            best_ = EmbeddedJpeg{static_cast<size_t>(offset), static_cast<size_t>(length)};
    }

    std::optional<EmbeddedJpeg> best_;

private:
    void ReadDirectory(size_t start, uint32_t entries, std::deque<uint32_t>& pending) {
        uint32_t compression = 0, jpegOffset = 0, jpegLength = 0, stripOffset = 0, stripLength = 0;
        for (uint32_t i = 0; i < entries; ++i) {
            const size_t entry = start + i * 12;
            const uint32_t tag = tiff_.U16(entry);
            const uint32_t type = tiff_.U16(entry + 2);
            const uint32_t count = tiff_.U32(entry + 4);
            const uint64_t bytes = uint64_t{count} * TypeSize(type);
            const uint32_t value = type == 3 ? tiff_.U16(entry + 8) : tiff_.U32(entry + 8);
            switch (tag) {
                case kTagCompression:
                    compression = value;
                    break;
                case kTagJpegOffset:
                    jpegOffset = value;
                    break;
                case kTagJpegLength:
                    jpegLength = value;
                    break;
                case kTagStripOffsets:
                    stripOffset = count == 1 ? value : 0;
                    break;
                case kTagStripByteCounts:
                    stripLength = count == 1 ? value : 0;
                    break;
                case kTagExifDirectory:
                    pending.push_back(value);
                    break;
                case kTagSubDirectories:
                    AddOffsets(entry, type, count, pending);
                    break;
                case kTagPanasonicJpeg:
                    if (bytes > 4)
                        Consider(tiff_.U32(entry + 8), bytes);
                    break;
                default:
                    break;
            }
        }
        Consider(jpegOffset, jpegLength);
        // Old-style and new-style JPEG compression of a single strip.
        if (compression == 6 || compression == 7)
            Consider(stripOffset, stripLength);
    }

    void AddOffsets(size_t entry, uint32_t type, uint32_t count, std::deque<uint32_t>& pending) {
        if (type != 4 && type != 13)
            return;
        if (count == 1) {
            pending.push_back(tiff_.U32(entry + 8));
            return;
        }
        const uint32_t list = tiff_.U32(entry + 8);
        for (uint32_t i = 0; i < count && i < kMaxDirectories && tiff_.Has(list + i * 4ull, 4); ++i)
            pending.push_back(tiff_.U32(list + i * 4));
    }

    const uint8_t* data_;
    size_t size_;
    TiffReader tiff_;
};

// A Fujifilm raw names its preview in its own header.
std::optional<EmbeddedJpeg> FujifilmPreview(const uint8_t* data, size_t size) {
    PreviewSearch search(data, size, true);
    TiffReader header(data, size, true);
    search.Consider(header.U32(84), header.U32(88));
    return search.best_;
}

}  // namespace

std::optional<EmbeddedJpeg> FindEmbeddedPreview(const uint8_t* data, size_t size) {
    if (data == nullptr || size < 16)
        return std::nullopt;
    if (size >= 92 && std::memcmp(data, "FUJIFILMCCD-RAW", 15) == 0)
        return FujifilmPreview(data, size);
    bool bigEndian = false;
    if (data[0] == 'M' && data[1] == 'M')
        bigEndian = true;
    else if (data[0] != 'I' || data[1] != 'I')
        return std::nullopt;
    TiffReader tiff(data, size, bigEndian);
    const uint32_t magic = tiff.U16(2);
    // TIFF, Olympus ("RO", "RS") and Panasonic (0x55) headers.
    if (magic != 42 && magic != 0x4F52 && magic != 0x5352 && magic != 0x55)
        return std::nullopt;
    PreviewSearch search(data, size, bigEndian);
    search.Walk(tiff.U32(4));
    return search.best_;
}
