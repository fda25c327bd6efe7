#include "FileTIFAnalyser.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "ExifReader.h"
#include "RawFileBuffer.h"
#include "TiffAnalyzer.h"

namespace {

constexpr uint64_t kMostOffset = 0x4E000000;
constexpr uint64_t kRafHeaderBytes = 160;
constexpr uint64_t kRafInFirstRead = 0x80000;
constexpr uint64_t kLeastEstimate = 10240;
constexpr uint64_t kZeroTailScanFrom = 0x100000;
constexpr uint64_t kZeroTailScanEnd = 0x299999A;
constexpr uint32_t kMostEntries = 512;
constexpr int kMostSubDirectories = 14;
// Main directories followed at most: their links only lead forward, this
// keeps a crafted chain of tiny directories short.
constexpr int kMostMainDirectories = 256;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// One walk over one file: its state lives only as long as the walk.
class TiffWalk {
public:
    TiffWalk(IStorageDevice* device, CRawFileInfo& info)
        : reader_(device, static_cast<uint64_t>(info.startSector)), info_(info) {}

    uint64_t Run();
    // A size never runs past the device's end.
    uint64_t BytesToDeviceEnd() const { return reader_.GetBytesToDeviceEnd(); }

private:
    struct Entry {
        uint16_t tag = 0;
        uint16_t type = 0;
        uint32_t count = 0;
        uint32_t value = 0;
        uint8_t raw[4] = {};  // the value field as stored
        uint64_t ComponentSize() const { return CExifReader::ComponentSize(type); }
        uint64_t ByteLength() const { return uint64_t{count} * ComponentSize(); }
    };

    bool Read(uint64_t offset, void* out, size_t bytes);
    bool Read16(uint64_t offset, uint32_t& value);
    bool Read32(uint64_t offset, uint32_t& value);
    bool ReadEntry(uint64_t offset, Entry& entry);
    // A text value of at most 63 bytes; false when it cannot be read.
    bool ReadText(const Entry& entry, std::string& text);
    // A value of an array entry read as a number of its component size.
    bool ReadElement(const Entry& entry, uint64_t at, uint64_t& value);
    void Raise(uint64_t end) { estimate_ = std::max(estimate_, end); }

    bool ReadRafHeader(const uint8_t* header, uint64_t& result);
    // False ends the walk with `result` as the file's size.
    bool MainEntry(const Entry& entry, uint64_t& directoryEnd, uint64_t& result);
    void SubChain(uint64_t offset, uint64_t base);
    uint64_t JpegOffset(const Entry& entry, uint64_t base);
    uint64_t JpegSize(const Entry& entry);
    void TilesEnd();
    uint64_t RafEnd();
    uint64_t Finish(uint64_t directoryEnd);

    RawFileBuffer reader_;
    CRawFileInfo& info_;
    bool bigEndian_ = false;
    bool raf_ = false;
    bool dng_ = false;
    bool nikon_ = false;
    bool epson_ = false;
    bool a100_ = false;
    bool panasonic_ = false;
    bool imageData_ = false;  // strip or tile sizes were found
    uint64_t base_ = 0;       // 160 in a RAF file
    uint64_t estimate_ = 0;
    uint64_t jpegOffset_ = 0;
    uint64_t jpegSize_ = 0;
    uint64_t tileOffsets_ = 0;
    uint64_t tileOffsetsComponent_ = 0;
    uint64_t tileOffsetsLength_ = 0;
    uint64_t tileCount_ = 0;
    uint64_t tileByteCounts_ = 0;
    uint64_t tileByteCountsComponent_ = 0;
    uint64_t subImageOffset_ = 0;
    int subDirectories_ = 0;
    std::string make_;
    std::string name_;
    std::string time_;
    std::string tagValue_;
};

bool TiffWalk::Read(uint64_t offset, void* out, size_t bytes) {
    const uint8_t* at = reader_.GetRawFileBuffer(offset);
    if (at == nullptr || reader_.BytesReadableAt(offset) < bytes)
        return false;
    std::memcpy(out, at, bytes);
    return true;
}

bool TiffWalk::Read16(uint64_t offset, uint32_t& value) {
    uint8_t bytes[2];
    if (!Read(offset, bytes, 2))
        return false;
    value = bigEndian_ ? ReadBE16(bytes) : ReadLE16(bytes);
    return true;
}

bool TiffWalk::Read32(uint64_t offset, uint32_t& value) {
    uint8_t bytes[4];
    if (!Read(offset, bytes, 4))
        return false;
    value = bigEndian_ ? ReadBE32(bytes) : ReadLE32(bytes);
    return true;
}

bool TiffWalk::ReadEntry(uint64_t offset, Entry& entry) {
    uint8_t bytes[12];
    if (!Read(offset, bytes, 12))
        return false;
    entry.tag = bigEndian_ ? ReadBE16(bytes) : ReadLE16(bytes);
    entry.type = bigEndian_ ? ReadBE16(bytes + 2) : ReadLE16(bytes + 2);
    entry.count = bigEndian_ ? ReadBE32(bytes + 4) : ReadLE32(bytes + 4);
    std::memcpy(entry.raw, bytes + 8, 4);
    if (entry.ComponentSize() == 2 && entry.count == 1)
        entry.value = bigEndian_ ? ReadBE16(bytes + 8) : ReadLE16(bytes + 8);
    else
        entry.value = bigEndian_ ? ReadBE32(bytes + 8) : ReadLE32(bytes + 8);
    // Offsets in a RAF file count from its TIFF header.
    if (raf_)
        entry.value = static_cast<uint32_t>(entry.value + base_);
    return true;
}

bool TiffWalk::ReadText(const Entry& entry, std::string& text) {
    char bytes[64] = {};
    const size_t length = static_cast<size_t>(std::min<uint64_t>(entry.ByteLength(), 63));
    if (entry.ByteLength() <= 4)
        std::memcpy(bytes, entry.raw, length);
    else if (!Read(entry.value, bytes, length))
        return false;
    text.assign(bytes, strnlen(bytes, length));
    return true;
}

bool TiffWalk::ReadElement(const Entry& entry, uint64_t at, uint64_t& value) {
    uint32_t number = 0;
    const uint64_t size = entry.ComponentSize();
    if (size == 4 ? !Read32(at, number) : size == 2 ? !Read16(at, number) : true)
        return false;
    value = number;
    return true;
}

uint64_t TiffWalk::JpegOffset(const Entry& entry, uint64_t base) {
    jpegSize_ = 0;
    const uint64_t at = base + entry.value;
    uint8_t first = 0;
    if (entry.value == 0xFFFFFFFF || !Read(at, &first, 1))
        return 0;  // no strip or thumbnail where the device ends
    if (entry.count <= 1)
        return at;
    uint64_t last = 0;
    if (!ReadElement(entry, at + (uint64_t{entry.count} - 1) * entry.ComponentSize(), last))
        return 0;
    return base + last;
}

uint64_t TiffWalk::JpegSize(const Entry& entry) {
    uint64_t size = 0;
    if (entry.count <= 1)
        return raf_ ? entry.value - base_ : entry.value;
    // The byte count array lies at the value (already in file offsets).
    const uint64_t at = entry.value + (uint64_t{entry.count} - 1) * entry.ComponentSize();
    return ReadElement(entry, at, size) ? size : 0;
}

void TiffWalk::TilesEnd() {
    if (tileCount_ == 1) {
        estimate_ = tileOffsets_ + tileByteCounts_;
        imageData_ = true;
        return;
    }
    uint32_t offset = 0;
    uint32_t count = 0;
    const uint64_t last = tileCount_ - 1;
    const bool read = tileOffsetsComponent_ == 4 ? Read32(tileOffsets_ + last * 4, offset) &&
                                                       Read32(tileByteCounts_ + last * 4, count)
                      : tileOffsetsComponent_ == 2 ? Read16(tileOffsets_ + last * 2, offset) &&
                                                         Read16(tileByteCounts_ + last * 2, count)
                                                   : false;
    if (read) {
        Raise(uint64_t{offset} + base_ + count);
        imageData_ = true;
    }
}

bool TiffWalk::MainEntry(const Entry& entry, uint64_t& directoryEnd, uint64_t& result) {
    const uint64_t length = entry.ByteLength();
    if (length >= 5)
        Raise(entry.value + length);
    std::string text;
    switch (entry.tag) {
        case 46: {
            uint8_t bytes[4];
            if (Read(uint64_t{entry.value} + 16, bytes, 4))
                SubChain(uint64_t{entry.value} + 12 + ReadLE32(bytes), uint64_t{entry.value} + 12);
            break;
        }
        case 271:
            if (!ReadText(entry, text)) {
                result = 0;
                return false;
            }
            for (char& c : text)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            make_ = text;
            if (!text.empty()) {
                text = ApiStrFilterBadFileName(text);
                tagValue_ = ApiIsInvalidCharInFileName(text) || text.size() >= 31 ? "" : text;
                if (!tagValue_.empty())
                    info_.SetRawFileTagAndValue(RAW_FILE_TAG_CAMERA, tagValue_);
            }
            epson_ = make_.find("EPSON") != std::string::npos;
            break;
        case 272:
            if (!ReadText(entry, text)) {
                result = 0;
                return false;
            }
            name_ = text.size() > 40 ? "" : ApiStrFilterBadFileName(text);
            if (ApiIsInvalidCharInFileName(name_))
                name_.clear();
            if (tagValue_.empty() && !name_.empty()) {
                tagValue_ = name_;
                info_.SetRawFileTagAndValue(RAW_FILE_TAG_CAMERA, tagValue_);
            }
            if (raf_) {
                result = RafEnd();
                return false;
            }
            nikon_ = name_.size() >= 5 && StartsWith(text, "NIKON");
            a100_ = name_.size() >= 9 && StartsWith(name_, "DSLR-A100");
            break;
        case 273:
        case 513:
            jpegOffset_ = JpegOffset(entry, 0);
            break;
        case 279:
        case 514:
            jpegSize_ = JpegSize(entry);
            if (jpegSize_ == 0)
                jpegOffset_ = 0;
            if (jpegOffset_ == 0)
                jpegSize_ = 0;
            if (jpegSize_ != 0)
                imageData_ = true;
            Raise(jpegOffset_ + jpegSize_);
            break;
        case 306:
            if (!ReadText(entry, time_)) {
                result = 0;
                return false;
            }
            break;
        case 324:
            tileOffsets_ = entry.value;
            tileCount_ = entry.count;
            tileOffsetsComponent_ = entry.ComponentSize();
            tileOffsetsLength_ = length;
            break;
        case 325:
            tileByteCounts_ = entry.value;
            tileByteCountsComponent_ = entry.ComponentSize();
            if (length == tileOffsetsLength_ && entry.count == tileCount_ && tileCount_ != 0)
                TilesEnd();
            break;
        case 330:
            if (a100_) {
                subImageOffset_ = entry.value;
                break;
            }
            for (uint64_t i = 0; entry.ComponentSize() != 0 && entry.count <= kMostEntries &&
                                 i < entry.count && subDirectories_ <= kMostSubDirectories;
                 ++i) {
                uint64_t offset = entry.value;
                if (length >= 5 &&
                    !ReadElement(entry, entry.value + i * entry.ComponentSize(), offset))
                    break;
                SubChain(offset + (length >= 5 ? base_ : 0), 0);
            }
            break;
        case 33723: {
            uint32_t extra = 0;
            if (make_.find("KODAK") != std::string::npos &&
                name_.find("DCS Pro SLR") != std::string::npos && length == 0) {
                Raise(Read32(entry.value, extra) ? uint64_t{entry.value} + extra : entry.value);
            }
            break;
        }
        case 34665:
            SubChain(entry.value, 0);
            break;
        case 37724:
            if (entry.value + length > estimate_)
                directoryEnd = std::max(directoryEnd, uint64_t{entry.value} + length);
            break;
        case 50706:
            dng_ = true;
            break;
        case 50740:
            if (a100_) {
                uint32_t k = 0;
                uint8_t bytes[4];
                if (Read16(uint64_t{entry.value} + 4, k) &&
                    Read(uint64_t{entry.value} + k + 4, bytes, 4))
                    Raise(subImageOffset_ + ReadLE32(bytes));
            }
            break;
        default:
            break;
    }
    return true;
}

void TiffWalk::SubChain(uint64_t offset, uint64_t base) {
    while (offset != 0) {
        if (++subDirectories_ > kMostSubDirectories)
            return;
        uint32_t count = 0;
        if (!Read16(offset, count) || count > kMostEntries)
            return;
        uint64_t read = 0;
        for (; read < count; ++read) {
            Entry entry;
            if (!ReadEntry(offset + 2 + 12 * read, entry))
                break;
            const uint64_t length = entry.ByteLength();
            if (length >= 5)
                Raise(entry.value + length);
            const uint64_t at = base + entry.value;
            switch (entry.tag) {
                case 273:
                case 513:
                    jpegOffset_ = JpegOffset(entry, base);
                    break;
                case 279:
                case 514:
                    jpegSize_ = JpegSize(entry);
                    if (jpegSize_ != 0)
                        imageData_ = true;
                    Raise(jpegOffset_ + jpegSize_);
                    break;
                case 640:
                case 33723:
                    Raise(at + length);
                    break;
                case 34665:
                    Raise(at + length);
                    SubChain(at, base);
                    break;
                case 36867:
                    if (time_.empty() && !ReadText(entry, time_))
                        time_.clear();
                    break;
                case 37500:
                    SubChain(at, nikon_ ? 18 : epson_ ? 8 : 0);
                    break;
                case 50706:
                    dng_ = true;
                    break;
                default:
                    break;
            }
        }
        const uint64_t linkAt = offset + 2 + 12 * read;
        uint32_t link = 0;
        if (!Read32(linkAt, link))
            return;
        Raise(linkAt + 4);
        Raise(jpegOffset_ + jpegSize_);
        offset = link == 0 ? 0 : link + base + base_;
    }
}

bool TiffWalk::ReadRafHeader(const uint8_t* header, uint64_t& result) {
    raf_ = true;
    info_.fileType = FileTIFAnalyser::kRafType;
    const uint64_t jpeg = ReadBE32(header + 84);
    const uint64_t jpegLength = ReadBE32(header + 88);
    if (jpeg > kRafInFirstRead && (jpeg > kMostOffset || jpegLength > kMostOffset)) {
        result = 0;
        return false;
    }
    // The embedded JPEG's Exif block, read where it lies.
    uint8_t lengthBytes[2];
    if (!Read(jpeg + 4, lengthBytes, 2)) {
        result = 0;
        return false;
    }
    const uint32_t segmentLength = ReadBE16(lengthBytes);
    std::vector<uint8_t> segment;
    reader_.CopyBytes(jpeg + 6, segmentLength, segment);
    tag_ExifInfo exif;
    CExifReader exifReader;
    exifReader.SetExitInfo(&exif);
    if (!segment.empty() && exifReader.EXIF_process_EXIF(segment.data(), jpeg + 6, segment.data(),
                                                         segmentLength, segment.size()) == 1) {
        name_ = ApiStrFilterBadFileName(exif.cameraModel);
        tagValue_ = exif.cameraMake[0] != 0 ? std::string(exif.cameraMake) : name_;
        time_ = exif.dateTime;
        info_.SetRawFileName(name_);
        info_.timeText = time_;
        // Tagged by camera like the other camera files.
        if (!tagValue_.empty() && !ApiIsInvalidCharInFileName(tagValue_))
            info_.SetRawFileTagAndValue(RAW_FILE_TAG_CAMERA, tagValue_);
    }
    estimate_ = jpeg + jpegLength;
    Raise(uint64_t{ReadBE32(header + 92)} + ReadBE32(header + 96));
    Raise(uint64_t{ReadBE32(header + 100)} + ReadBE32(header + 104));
    estimate_ += ReadBE32(header + 132);
    base_ = kRafHeaderBytes;
    return true;
}

uint64_t TiffWalk::RafEnd() {
    info_.SetRawFileName(tagValue_.empty() || name_.empty() ? (name_.empty() ? tagValue_ : name_)
                                                            : tagValue_ + "_" + name_);
    info_.timeText = time_;
    return estimate_;
}

uint64_t TiffWalk::Run() {
    uint8_t header[kRafHeaderBytes + 8];
    if (!Read(0, header, sizeof(header)))
        return 0;
    uint64_t result = 0;
    if (std::memcmp(header, "FUJIFILMCCD-RAW ", 16) == 0 && !ReadRafHeader(header, result))
        return result;
    const uint8_t* tiff = header + base_;
    bigEndian_ = std::memcmp(tiff, "MM\0*", 4) == 0;
    panasonic_ = std::memcmp(tiff, "IIU\0", 4) == 0;
    if (panasonic_)
        info_.fileType = 86;
    uint64_t offset = (bigEndian_ ? ReadBE32(tiff + 4) : ReadLE32(tiff + 4)) + base_;

    uint64_t directoryEnd = 0;
    bool forward = true;
    uint64_t previousLink = 0;
    for (int directories = 0; directories < kMostMainDirectories; ++directories) {
        uint32_t count = 0;
        if (offset > kMostOffset || directoryEnd > kMostOffset || !Read16(offset, count) ||
            count == 0 || count > kMostEntries) {
            break;
        }
        if (directoryEnd < offset + 2)
            directoryEnd = offset + 2;
        else if (forward)
            directoryEnd += 2;
        for (uint32_t i = 0; i < count; ++i) {
            Entry entry;
            if (!ReadEntry(offset + 2 + 12 * uint64_t{i}, entry))
                return 0;
            if (forward)
                directoryEnd += 12;
            if (!MainEntry(entry, directoryEnd, result))
                return result;
        }
        if (raf_) {
            info_.SetRawFileName(name_);
            info_.timeText = time_;
            return estimate_;
        }
        const uint64_t linkAt = offset + 2 + 12 * uint64_t{count};
        uint32_t link = 0;
        if (!Read32(linkAt, link) || (link != 0 && link <= previousLink))
            break;
        previousLink = link;
        forward = link > linkAt;
        directoryEnd = std::max(directoryEnd + 4, uint64_t{link});
        if (link == 0)
            break;
        offset = link + base_;
    }
    return Finish(directoryEnd);
}

uint64_t TiffWalk::Finish(uint64_t directoryEnd) {
    info_.fileType =
        BruteForce::TiffRawType(make_, name_, dng_, panasonic_, BruteForce::TiffAnalyzer::kType);
    std::string name = ApiStrFilterBadFileName(name_);
    if (name.empty())
        name = tagValue_;
    else if (!tagValue_.empty())
        name = tagValue_ + "_" + name;
    info_.SetRawFileName(name);
    info_.timeText = time_;
    if (!tagValue_.empty())
        info_.SetRawFileTagAndValue(RAW_FILE_TAG_CAMERA, tagValue_);

    Raise(directoryEnd);
    if (raf_)
        estimate_ += kRafHeaderBytes;
    // Strips or tiles found: the file ends where its last referenced byte does.
    if (imageData_ && estimate_ <= kMostOffset)
        return estimate_;
    // Directories that lead to no image data and account for too little or
    // too much are no file.
    if (estimate_ < kLeastEstimate || estimate_ > kMostOffset)
        return 0;
    const uint64_t sectorSize = reader_.GetSectorSize();
    const uint64_t sectors = (estimate_ + sectorSize - 1) / sectorSize;
    uint64_t end = sectors * sectorSize;
    if (end >= kZeroTailScanFrom)
        return end;
    // A small file: it ends at the first sector from its estimate on that
    // ends in zeros.
    const auto endsInZeros = [&](uint64_t at, bool& readable) {
        const uint8_t* sector = reader_.GetRawFileBuffer(at);
        readable = sector != nullptr;
        if (!readable)
            return false;
        static const uint8_t kZeros[16] = {};
        return std::memcmp(sector + sectorSize - 16, kZeros, 16) == 0;
    };
    bool readable = false;
    if (endsInZeros(end - sectorSize, readable) || !readable)
        return readable ? end : end - sectorSize;
    for (; end < kZeroTailScanEnd; end += sectorSize) {
        if (endsInZeros(end, readable) || !readable)
            return end;
    }
    return end;
}

}  // namespace

uint32_t FileTIFAnalyser::GetRawFileSize(CRawFileInfo& info, IStorageDevice* device) {
    assert(device != nullptr && "NULL != pDevice");
    if (device == nullptr || info.startSector < 0)
        return 0;
    try {
        const uint64_t size = GetTiffSize(info, device);
        info.size = static_cast<int64_t>(size);
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

uint64_t FileTIFAnalyser::GetTiffSize(CRawFileInfo& info, IStorageDevice* device) {
    info.SetRawFileName("");
    info.timeText.clear();
    TiffWalk walk(device, info);
    const uint64_t size = walk.Run();
    return size <= walk.BytesToDeviceEnd() ? size : 0;
}
