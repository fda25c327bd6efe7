#pragma once

// Builds TIFF structures byte by byte for tests: a header, directories of
// entries whose long values are laid after them, and links between them.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace harbex::test {

class TiffWriter {
public:
    struct Entry {
        uint16_t tag = 0;
        uint16_t format = 0;
        uint32_t count = 0;
        uint32_t value = 0;         // used when `data` is empty
        std::vector<uint8_t> data;  // the value's bytes, in place or laid after
    };

    // A header ("II*\0" or "MM\0*") whose first directory is at 8 until set.
    explicit TiffWriter(bool bigEndian = false) : big_(bigEndian) {
        bytes = bigEndian ? std::vector<uint8_t>{'M', 'M', 0, 42}
                          : std::vector<uint8_t>{'I', 'I', 42, 0};
        bytes.resize(8);
        Put32(4, 8);
    }

    static Entry Short(uint16_t tag, uint16_t value) { return {tag, 3, 1, value, {}}; }
    static Entry Long(uint16_t tag, uint32_t value) { return {tag, 4, 1, value, {}}; }
    static Entry Raw(uint16_t tag, uint16_t format, uint32_t count, uint32_t value) {
        return {tag, format, count, value, {}};
    }
    static Entry Ascii(uint16_t tag, const std::string& text) {
        std::vector<uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        const uint32_t count = static_cast<uint32_t>(data.size());
        return {tag, 2, count, 0, std::move(data)};
    }
    Entry Rational(uint16_t tag, uint32_t numerator, uint32_t denominator) const {
        Entry entry{tag, 5, 1, 0, std::vector<uint8_t>(8)};
        Write32(entry.data.data(), numerator);
        Write32(entry.data.data() + 4, denominator);
        return entry;
    }

    // Writes a directory at the end (word-aligned), then the long values of
    // its entries; answers the directory's offset.
    uint32_t AddDirectory(const std::vector<Entry>& entries, uint32_t link = 0) {
        Align();
        const uint32_t at = static_cast<uint32_t>(bytes.size());
        bytes.resize(at + 2 + 12 * entries.size() + 4);
        Put16(at, static_cast<uint16_t>(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            const uint32_t e = static_cast<uint32_t>(at + 2 + 12 * i);
            Put16(e, entry.tag);
            Put16(e + 2, entry.format);
            Put32(e + 4, entry.count);
            if (entry.data.empty()) {
                if (entry.format == 3 && entry.count == 1)
                    Put16(e + 8, static_cast<uint16_t>(entry.value));
                else
                    Put32(e + 8, entry.value);
            } else if (entry.data.size() <= 4) {
                std::memcpy(bytes.data() + e + 8, entry.data.data(), entry.data.size());
            } else {
                Put32(e + 8, Append(entry.data));
            }
        }
        SetLink(at, link);
        return at;
    }
    void SetLink(uint32_t directory, uint32_t link) {
        Put32(directory + 2 + 12 * Get16(directory), link);
    }
    // Rewrites the in-place value of a directory's entry.
    void SetValue(uint32_t directory, size_t index, uint32_t value) {
        Put32(directory + 2 + 12 * index + 8, value);
    }
    void SetFirstDirectory(uint32_t offset) { Put32(4, offset); }

    uint32_t Append(const std::vector<uint8_t>& data) {
        Align();
        const uint32_t at = static_cast<uint32_t>(bytes.size());
        bytes.insert(bytes.end(), data.begin(), data.end());
        return at;
    }
    void Put16(size_t at, uint16_t value) {
        if (big_) {
            bytes[at] = uint8_t(value >> 8);
            bytes[at + 1] = uint8_t(value);
        } else {
            bytes[at] = uint8_t(value);
            bytes[at + 1] = uint8_t(value >> 8);
        }
    }
    void Put32(size_t at, uint32_t value) { Write32(bytes.data() + at, value); }
    uint16_t Get16(size_t at) const {
        return big_ ? uint16_t(bytes[at] << 8 | bytes[at + 1])
                    : uint16_t(bytes[at] | bytes[at + 1] << 8);
    }

    std::vector<uint8_t> bytes;

private:
    void Write32(uint8_t* p, uint32_t value) const {
        for (int k = 0; k < 4; ++k)
            p[k] = uint8_t(value >> (big_ ? 24 - 8 * k : 8 * k));
    }
    void Align() {
        if (bytes.size() % 2)
            bytes.push_back(0);
    }

    bool big_;
};

// An Exif block: "Exif", two zero bytes and the TIFF structure.
inline std::vector<uint8_t> ExifBlock(const std::vector<uint8_t>& tiff) {
    // Made at its final size: an append to a short vector upsets GCC's -O3
    // bounds warnings.
    std::vector<uint8_t> block(6 + tiff.size(), 0);
    std::memcpy(block.data(), "Exif", 4);
    std::copy(tiff.begin(), tiff.end(), block.begin() + 6);
    return block;
}

}  // namespace harbex::test
