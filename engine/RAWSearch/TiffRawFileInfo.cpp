#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "ByteOrder.h"
#include "ExifReader.h"
#include "StreamWindow.h"
#include "TiffAnalyzer.h"

namespace BruteForce {

namespace {

// A first directory further in than this is not waited for.
constexpr uint64_t kMostFirstDirectory = 0x400000;
constexpr int kMostDirectories = 11;
constexpr uint32_t kMostEntries = 512;
constexpr uint64_t kMostSubImages = 512;
constexpr int kMostDirectoriesPerCall = 1024;
// Offsets past this are not followed while streaming: the device walk
// measures such files.
constexpr uint64_t kMostOffset = 0x4E000000;
constexpr uint64_t kLeastPixelWidth = 400;
constexpr uint64_t kLeastPixelHeight = 600;
constexpr uint64_t kMostPixelEstimate = 0xC7FFFFF;
// Estimates up to this only end in a sector that ends in zeros.
constexpr uint64_t kSmallEstimate = 0xA00000;
// Estimates past this end on whole sectors.
constexpr uint64_t kLargeEstimate = 0xFFFFF;
constexpr uint32_t kZeroTail = 32;
constexpr uint32_t kSomeZeros = 16;
constexpr size_t kMostText = 63;
constexpr size_t kMostTagValue = 30;

}  // namespace

void TiffAnalyzer::TiffRawFileInfo::Raise(uint64_t end) {
    endEstimate_ = std::max(endEstimate_, end);
    lastReferenced_ = std::max(lastReferenced_, end);
}

bool TiffAnalyzer::TiffRawFileInfo::ReadNumber(const StreamWindow& window, uint64_t at,
                                               uint32_t componentSize, uint64_t& value) const {
    const RawSpan span = window.At(at);
    if (span.count < componentSize)
        return false;
    switch (componentSize) {
        case 1:
            value = span.bytes[0];
            return true;
        case 2:
            value = bigEndian_ ? ReadBE16(span.bytes) : ReadLE16(span.bytes);
            return true;
        case 4:
            value = bigEndian_ ? ReadBE32(span.bytes) : ReadLE32(span.bytes);
            return true;
        default:
            return false;
    }
}

bool TiffAnalyzer::TiffRawFileInfo::ReadText(const StreamWindow& window, uint64_t at,
                                             uint64_t length, std::string& text) const {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(length, kMostText));
    const RawSpan span = window.At(at);
    if (span.count < wanted)
        return false;
    const char* bytes = reinterpret_cast<const char*>(span.bytes);
    text.assign(bytes, strnlen(bytes, wanted));
    return true;
}

bool TiffAnalyzer::TiffRawFileInfo::Entry(const StreamWindow& window, const uint8_t* entry) {
    const uint16_t tag = bigEndian_ ? ReadBE16(entry) : ReadLE16(entry);
    const uint16_t format = bigEndian_ ? ReadBE16(entry + 2) : ReadLE16(entry + 2);
    const uint64_t count = bigEndian_ ? ReadBE32(entry + 4) : ReadLE32(entry + 4);
    const uint32_t component = CExifReader::ComponentSize(format);
    const uint64_t length = count * component;
    const uint64_t offset = bigEndian_ ? ReadBE32(entry + 8) : ReadLE32(entry + 8);
    if (length > 4)
        Raise(offset + length);
    if (component != 1 && component != 2 && component != 4)
        return true;  // rationals and doubles say nothing about the layout
    uint64_t value = offset;
    if (count == 1 && component == 2)
        value = bigEndian_ ? ReadBE16(entry + 8) : ReadLE16(entry + 8);
    else if (count == 1 && component == 1)
        value = entry[8];
    // The last element of an array value, or the value itself.
    const auto last = [&](uint64_t& out) {
        if (count <= 1) {
            out = value;
            return true;
        }
        return ReadNumber(window, offset + (count - 1) * component, component, out);
    };
    // A text in place when it fits in the entry, else where the entry points.
    const auto text = [&](std::string& out) {
        if (length > 4)
            return ReadText(window, offset, length, out);
        const char* bytes = reinterpret_cast<const char*>(entry + 8);
        out.assign(bytes, strnlen(bytes, static_cast<size_t>(length)));
        return true;
    };
    const auto waitFor = [&](uint64_t directory) {
        if (directory == 0 || directory > kMostOffset)
            return;
        Raise(directory + 2);
        waiting_.emplace(directory, false);
    };

    switch (tag) {
        case 256:
            width_ = value;
            break;
        case 257:
            height_ = value;
            break;
        case 271: {
            if (makeRead_)
                break;
            makeRead_ = true;
            std::string make;
            if (!text(make))
                return false;
            for (char& c : make)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            make = ApiStrFilterBadFileName(make);
            if (make.empty() || ApiIsInvalidCharInFileName(make))
                break;
            make_ = make;
            if (make_.size() <= kMostTagValue)
                SetRawFileTagAndValue(RAW_FILE_TAG_CAMERA, make_);
            break;
        }
        case 272: {
            if (modelRead_)
                break;
            modelRead_ = true;
            std::string model;
            if (!text(model))
                return false;
            model = ApiStrFilterBadFileName(model);
            if (model.empty() || ApiIsInvalidCharInFileName(model))
                break;
            model_ = model;
            if (make_.empty())
                SetRawFileTagAndValue(RAW_FILE_TAG_CAMERA, model_);
            break;
        }
        case 273:
            return last(stripOffset_);
        case 279: {
            uint64_t bytes = 0;
            if (!last(bytes))
                return false;
            Raise(stripOffset_ + bytes);
            imageData_ = true;
            break;
        }
        case 306: {
            std::string date;
            if (!text(date))
                return false;
            if (date.size() >= 10 && date.size() <= 40)
                timeText = date;
            break;
        }
        case 324:
            tileOffsets_ = value;
            tileOffsetsCount_ = count;
            tileOffsetsComponent_ = component;
            break;
        case 325: {
            if (count != tileOffsetsCount_ || component != tileOffsetsComponent_ || count == 0)
                break;
            uint64_t lastOffset = tileOffsets_;
            uint64_t lastBytes = 0;
            if (count > 1 &&
                !ReadNumber(window, tileOffsets_ + (count - 1) * component, component, lastOffset))
                return false;
            if (!last(lastBytes))
                return false;
            Raise(lastOffset + lastBytes);
            imageData_ = true;
            break;
        }
        case 330:
            if (count > kMostSubImages)
                return false;
            for (uint64_t i = 0; i < count; ++i) {
                uint64_t directory = value;
                if (count > 1 && !ReadNumber(window, offset + i * component, component, directory))
                    return false;
                if (directory == 1)
                    return false;
                waitFor(directory);
            }
            break;
        case 513:
            thumbnailOffset_ = value;
            break;
        case 514:
            Raise(thumbnailOffset_ + value);
            imageData_ = true;
            break;
        case 34665:
            waitFor(value);
            break;
        case 37500:
            waitFor(offset);
            break;
        case 50706:
            dng_ = true;
            break;
        default:
            break;
    }
    return true;
}

TiffAnalyzer::TiffRawFileInfo::Read TiffAnalyzer::TiffRawFileInfo::ReadDirectory(
    const StreamWindow& window, uint64_t offset, bool main) {
    // Bytes that have left the buffer cannot be read again while streaming.
    const bool passed = offset < static_cast<uint64_t>(window.Position());
    const RawSpan at = window.At(offset);
    if (at.count < 2)
        return passed ? Read::kFailed : Read::kWait;
    const uint32_t entries = bigEndian_ ? ReadBE16(at.bytes) : ReadLE16(at.bytes);
    if (entries == 0 || entries > kMostEntries)
        return Read::kDone;  // not a directory: its chain ends here
    const uint64_t linkAt = 2 + 12 * uint64_t{entries};
    if (at.count < linkAt + 4)
        return passed ? Read::kFailed : Read::kWait;
    if (++directories_ > kMostDirectories)
        return Read::kFailed;
    Raise(offset + linkAt + 4);
    for (uint32_t i = 0; i < entries; ++i) {
        if (!Entry(window, at.bytes + 2 + 12 * uint64_t{i}))
            return Read::kFailed;
    }
    fileType = TiffRawType(make_, model_, dng_, panasonic_, fileType);
    if (width_ >= kLeastPixelWidth && height_ >= kLeastPixelHeight)
        pixelEstimate_ = width_ * height_;

    const uint64_t link = bigEndian_ ? ReadBE32(at.bytes + linkAt) : ReadLE32(at.bytes + linkAt);
    if (link == 0)
        return Read::kDone;
    // A main chain only leads forward from its first directory.
    if (main && (link <= offset || link < firstDirectory_))
        return Read::kFailed;
    if (link > offset && link <= kMostOffset) {
        Raise(link + 2);
        waiting_.emplace(link, main);
    }
    return Read::kDone;
}

bool TiffAnalyzer::TiffRawFileInfo::ReadWaiting(const StreamWindow& window) {
    for (int read = 0; read < kMostDirectoriesPerCall;) {
        bool progressed = false;
        for (auto it = waiting_.begin(); it != waiting_.end();) {
            const Read result = ReadDirectory(window, it->first, it->second);
            if (result == Read::kWait) {
                ++it;
                continue;
            }
            if (result == Read::kFailed)
                return false;
            it = waiting_.erase(it);
            progressed = true;
            ++read;
        }
        if (!progressed)
            break;
    }
    return true;
}

int TiffAnalyzer::TiffRawFileInfo::Start(const unsigned char* sector, int sectorSize) {
    if (std::memcmp(sector, "IIU\0", 4) == 0) {
        panasonic_ = true;
        fileType = 86;
        return 1;
    }
    if (std::memcmp(sector, "FUJIFILMCCD-RAW ", 16) == 0)
        return 1;
    bigEndian_ = std::memcmp(sector, "MM", 2) == 0;
    firstDirectory_ = bigEndian_ ? ReadBE32(sector + 4) : ReadLE32(sector + 4);
    if (firstDirectory_ >= static_cast<uint64_t>(sectorSize)) {
        if (firstDirectory_ > kMostFirstDirectory)
            return 1;
        Raise(firstDirectory_);
    }
    waiting_.emplace(firstDirectory_, true);
    return 2;
}

int TiffAnalyzer::TiffRawFileInfo::Finish(int64_t fileSize, int sectorSize) {
    const long long first = startSector;
    const long long lastSector = first + (std::max<int64_t>(fileSize, 1) - 1) / sectorSize;
    char name[1024] = {};
    if (!make_.empty())
        std::snprintf(name, sizeof(name), "%s_%s_%lld-%lld_", make_.c_str(), model_.c_str(), first,
                      lastSector);
    else
        std::snprintf(name, sizeof(name), "%s_%lld-%lld_", model_.c_str(), first, lastSector);
    SetRawFileName(name);
    size = fileSize;
    return 1;
}

int TiffAnalyzer::TiffRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                               long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0 || sectorNumber < startSector)
        return 2;
    if (sectorNumber == startSector && Start(sector, sectorSize) == 1) {
        size = 0;  // handed to the device walk
        return 1;
    }
    const StreamWindow window(sector, sectorSize, sectorNumber, startSector, context);
    const uint64_t pos = static_cast<uint64_t>(window.Position());
    const uint64_t posEnd = pos + static_cast<uint64_t>(sectorSize);
    if (!failed_)
        failed_ = !ReadWaiting(window);
    if (failed_ || endEstimate_ > kMostOffset) {
        size = 0;
        return 1;
    }
    if (!imageData_ && pixelEstimate_ > endEstimate_ && pixelEstimate_ <= kMostPixelEstimate)
        endEstimate_ = pixelEstimate_;
    // Every directory read and the image data found: the file ends with the
    // last byte its structures name.
    if (imageData_ && waiting_.empty() && lastReferenced_ <= posEnd)
        return Finish(static_cast<int64_t>(lastReferenced_), sectorSize);

    const uint32_t zeros = context.trailingZeroBytes;
    if (zeros < kZeroTail) {
        if (zeros >= kSomeZeros || posEnd < endEstimate_ || endEstimate_ <= kSmallEstimate)
            return 2;
    } else if (posEnd <= endEstimate_) {
        return 2;
    }
    uint64_t fileSize = posEnd;
    if (endEstimate_ <= kLargeEstimate && endEstimate_ > pos && fileType != kType)
        fileSize = endEstimate_;
    return Finish(static_cast<int64_t>(fileSize), sectorSize);
}

}  // namespace BruteForce
