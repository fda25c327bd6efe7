#pragma once

// Builds FILE records attribute by attribute for tests, with the update
// sequence applied as on disk.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace harbex::test {

inline void PutLE(std::vector<uint8_t>& bytes, size_t offset, uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

class NTFSRecordBuilder {
public:
    static constexpr uint16_t kSequenceNumber = 0x0A0B;

    explicit NTFSRecordBuilder(uint32_t size = 1024, uint16_t flags = 1, uint32_t number = 30)
        : bytes_(size, 0) {
        std::memcpy(bytes_.data(), "FILE", 4);
        const uint32_t count = size / 512 + 1;
        PutLE(bytes_, 4, 48, 2);
        PutLE(bytes_, 6, count, 2);
        PutLE(bytes_, 16, 1, 2);
        PutLE(bytes_, 18, 1, 2);
        next_ = (48 + 2 * count + 7) & ~7u;
        PutLE(bytes_, 20, next_, 2);
        PutLE(bytes_, 22, flags, 2);
        PutLE(bytes_, 28, size, 4);
        PutLE(bytes_, 44, number, 4);
    }

    void SetBaseRecord(uint64_t reference) { PutLE(bytes_, 32, reference, 8); }

    // A resident attribute; its value goes `valueGap` bytes past the header (and name).
    size_t AddResident(uint32_t type, const std::vector<uint8_t>& value,
                       const std::u16string& name = u"", uint32_t valueGap = 0) {
        const uint32_t nameOffset = 24;
        const uint32_t valueOffset = (nameOffset + 2 * name.size() + 7) / 8 * 8 + valueGap;
        const uint32_t length = (valueOffset + value.size() + 7) / 8 * 8;
        const size_t at = Begin(type, length);
        bytes_[at + 9] = static_cast<uint8_t>(name.size());
        PutLE(bytes_, at + 10, nameOffset, 2);
        PutName(at + nameOffset, name);
        PutLE(bytes_, at + 16, value.size(), 4);
        PutLE(bytes_, at + 20, valueOffset, 2);
        std::copy(value.begin(), value.end(), bytes_.begin() + static_cast<long>(at + valueOffset));
        return at;
    }

    size_t AddNonResident(uint32_t type, const std::vector<uint8_t>& runs, int64_t startVcn,
                          int64_t lastVcn, int64_t realSize, uint16_t flags = 0,
                          const std::u16string& name = u"", int64_t allocated = -1) {
        const uint32_t nameOffset = 64;
        const uint32_t runsOffset = (nameOffset + 2 * name.size() + 7) / 8 * 8;
        const uint32_t length = (runsOffset + runs.size() + 7) / 8 * 8;
        const size_t at = Begin(type, length);
        bytes_[at + 8] = 1;
        bytes_[at + 9] = static_cast<uint8_t>(name.size());
        PutLE(bytes_, at + 10, nameOffset, 2);
        PutLE(bytes_, at + 12, flags, 2);
        PutLE(bytes_, at + 16, static_cast<uint64_t>(startVcn), 8);
        PutLE(bytes_, at + 24, static_cast<uint64_t>(lastVcn), 8);
        PutLE(bytes_, at + 32, runsOffset, 2);
        PutLE(bytes_, at + 40, static_cast<uint64_t>(allocated < 0 ? realSize : allocated), 8);
        PutLE(bytes_, at + 48, static_cast<uint64_t>(realSize), 8);
        PutLE(bytes_, at + 56, static_cast<uint64_t>(realSize), 8);
        PutName(at + nameOffset, name);
        std::memcpy(bytes_.data() + at + runsOffset, runs.data(), runs.size());
        return at;
    }

    static std::vector<uint8_t> FileNameValue(uint64_t parent, const std::u16string& name,
                                              uint8_t space = 1, int64_t size = 0,
                                              uint32_t flags = 0, uint64_t time = 0) {
        std::vector<uint8_t> value(66 + 2 * name.size(), 0);
        PutLE(value, 0, parent | (uint64_t{1} << 48), 8);
        for (int t = 8; t <= 32; t += 8)
            PutLE(value, t, time, 8);
        PutLE(value, 40, static_cast<uint64_t>(size), 8);
        PutLE(value, 48, static_cast<uint64_t>(size), 8);
        PutLE(value, 56, flags, 4);
        value[64] = static_cast<uint8_t>(name.size());
        value[65] = space;
        for (size_t i = 0; i < name.size(); ++i)
            PutLE(value, 66 + 2 * i, name[i], 2);
        return value;
    }

    size_t AddFileName(uint64_t parent, const std::u16string& name, uint8_t space = 1,
                       int64_t size = 0, uint32_t flags = 0, uint32_t valueGap = 0) {
        return AddResident(0x30, FileNameValue(parent, name, space, size, flags), u"", valueGap);
    }

    size_t AddStandardInformation(uint64_t created, uint64_t modified, uint64_t accessed,
                                  uint32_t dos) {
        std::vector<uint8_t> value(48, 0);
        PutLE(value, 0, created, 8);
        PutLE(value, 8, modified, 8);
        PutLE(value, 16, modified, 8);
        PutLE(value, 24, accessed, 8);
        PutLE(value, 32, dos, 4);
        return AddResident(0x10, value);
    }

    // The end marker, the used length and the update sequence.
    std::vector<uint8_t> Finish() const {
        std::vector<uint8_t> bytes = bytes_;
        PutLE(bytes, next_, 0xFFFFFFFF, 4);
        PutLE(bytes, 24, next_ + 8, 4);
        const uint32_t strides = static_cast<uint32_t>(bytes.size() / 512);
        PutLE(bytes, 48, kSequenceNumber, 2);
        for (uint32_t i = 0; i < strides; ++i) {
            bytes[50 + 2 * i] = bytes[512 * i + 510];
            bytes[51 + 2 * i] = bytes[512 * i + 511];
            PutLE(bytes, 512 * i + 510, kSequenceNumber, 2);
        }
        return bytes;
    }

    std::vector<uint8_t>& Raw() { return bytes_; }

private:
    size_t Begin(uint32_t type, uint32_t length) {
        const size_t at = next_;
        PutLE(bytes_, at, type, 4);
        PutLE(bytes_, at + 4, length, 4);
        PutLE(bytes_, at + 14, attributeId_++, 2);
        next_ += length;
        return at;
    }
    void PutName(size_t at, const std::u16string& name) {
        for (size_t i = 0; i < name.size(); ++i)
            PutLE(bytes_, at + 2 * i, name[i], 2);
    }

    std::vector<uint8_t> bytes_;
    uint32_t next_ = 0;
    uint16_t attributeId_ = 0;
};

}  // namespace harbex::test
