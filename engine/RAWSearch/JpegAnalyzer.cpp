#include "JpegAnalyzer.h"

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "ExifReader.h"
#include "FileJPGAnalyser.h"
#include "RawUtility.h"

namespace BruteForce {

namespace {

constexpr unsigned char kEndMarker[2] = {0xFF, 0xD9};
constexpr uint32_t kMostHeaderMarkers = 20480;
// A picture whose height is below this gives no pixel bound.
constexpr uint32_t kLeastBoundHeight = 401;

bool StartsWithTablesOrApp14(const unsigned char* header) {
    return header[0] == 0xFF && header[1] == 0xD8 && header[2] == 0xFF &&
           (header[3] == 0xDB || header[3] == 0xEE);
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool HasJpegIdentifier(const unsigned char* header) {
    const char* id = reinterpret_cast<const char*>(header + 6);
    return strncasecmp(id, "JFIF", 4) == 0 || strncasecmp(id, "Exif", 4) == 0;
}

JpegAnalyzer::JpegAnalyzer() : headerAnalyser_(new FileJPGAnalyser()) {
    analyserType = kType;
}

JpegAnalyzer::~JpegAnalyzer() {
    delete headerAnalyser_;
}

uint32_t JpegAnalyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr || !(HasJpegIdentifier(sector) || StartsWithTablesOrApp14(sector)))
        return 0;
    info.fileType = kType;
    return 1;
}

int JpegAnalyzer::AnalyseBufferEx(unsigned char* sector, CRawFileInfo& info, long long sectorSize,
                                  long long sectorNumber, long long, long long windowEnd) {
    if (sector == nullptr || sectorSize <= 0)
        return 0;
    if (!HasJpegIdentifier(sector)) {
        if (!StartsWithTablesOrApp14(sector))
            return 0;
        // Without an identifier the tables must lead to a plain colour frame.
        const uint64_t readable =
            static_cast<uint64_t>(std::max(1LL, windowEnd - sectorNumber) * sectorSize);
        JpegWalk walk;
        walk.pauseAtScan = true;
        const auto read = [&](uint64_t offset) {
            return offset < readable ? RawSpan{sector + offset, readable - offset} : RawSpan{};
        };
        if (walk.Advance(read, readable) != JpegWalk::Step::kMore || !walk.inScan ||
            walk.sosBeforeSof || walk.precision != 8 || walk.sofComponents != 3 ||
            walk.sosComponents != 3 || walk.markers > kMostHeaderMarkers) {
            return 0;
        }
    }
    info.fileType = kType;
    return 1;
}

CRawFileInfo* JpegAnalyzer::CreateRawFileInfo() {
    return new (std::nothrow) JpegRawFileInfo(headerAnalyser_);
}

void JpegAnalyzer::JpegRawFileInfo::WillBeRemove(unsigned char*, long long) {
    analyser = headerAnalyser_;
}

void JpegAnalyzer::JpegRawFileInfo::NameFromExif(const RawSpan& block) {
    tag_ExifInfo info;
    CExifReader reader;
    reader.SetExitInfo(&info);
    // A damaged block never fails the picture: what was read before stands.
    reader.EXIF_process_EXIF(block.bytes, 0, block.bytes, walk_.exifLength, block.count);
    const std::string make = Upper(info.cameraMake);
    const std::string model = info.cameraModel;
    if (!make.empty() && !ApiIsInvalidCharInFileName(make))
        SetRawFileTagAndValue(RAW_FILE_TAG_CAMERA, make);
    if (!model.empty()) {
        SetRawFileName(model);
        const std::string upperModel = Upper(model);
        if (make.empty() && !ApiIsInvalidCharInFileName(upperModel))
            SetRawFileTagAndValue(RAW_FILE_TAG_CAMERA, upperModel);
    }
    if (info.dateTime[0] != 0)
        timeText = info.dateTime;
}

int64_t JpegAnalyzer::JpegRawFileInfo::EndInZeroTail(const unsigned char* sector, int sectorSize,
                                                     long long sectorNumber,
                                                     const SearchContext& context) const {
    const uint32_t zeros = context.trailingZeroBytes;
    const int64_t pos = (sectorNumber - startSector) * sectorSize;
    if (zeros < 8 || (exif && (zeros < 9 || pos <= static_cast<int64_t>(skipLength))))
        return 0;
    const int found =
        RawUtility::FindMagicInBuffer(sector, sectorSize, static_cast<int>(zeros), kEndMarker, 2);
    if (found > 0 && found < sectorSize)
        return std::memcmp(sector + found, "\0\0\0\0", 4) == 0 ? found : 0;
    // An FF that is the previous sector's last byte, its D9 this one's first.
    if (lastSector_ == sectorNumber - 1 && sectorNumber - 1 >= context.windowStart &&
        lastSector_ > startSector) {
        const int r = RawUtility::FindMagicInBuffer(sector - 1, 2, 0, kEndMarker, 2);
        if (r > 0 && std::memcmp(sector + r - 1, "\0\0\0\0", 4) == 0)
            return r - 1;
    }
    return 0;
}

int JpegAnalyzer::JpegRawFileInfo::Finish(int64_t fileSize, int sectorSize) {
    std::string name = GetRawFileName();
    RAW_FILE_TAG kind = RAW_FILE_TAG_NONE;
    std::string value;
    GetRawFileTagAndValue(kind, value);
    if (ApiIsInvalidCharInFileName(name)) {
        name.clear();
    } else if (ApiIsInvalidCharInFileName(value)) {
        value.clear();
        SetRawFileTagAndValue(RAW_FILE_TAG_NONE, value);
    }
    const long long lastSector = startSector + (std::max<int64_t>(fileSize, 1) - 1) / sectorSize;
    char text[1024] = {};
    const long long first = startSector;
    if (name.empty() && value.empty())
        std::snprintf(text, sizeof(text), "%lld-%lld", first, lastSector);
    else if (name.empty() || value.empty())
        std::snprintf(text, sizeof(text), "%s_%lld-%lld", (value.empty() ? name : value).c_str(),
                      first, lastSector);
    else
        std::snprintf(text, sizeof(text), "%s_%s_%lld-%lld", value.c_str(), name.c_str(), first,
                      lastSector);
    SetRawFileName(text);
    size = fileSize;
    fileType = kType;
    return 1;
}

int JpegAnalyzer::JpegRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                               long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0 || sectorNumber < startSector)
        return 2;
    const StreamWindow window(sector, sectorSize, sectorNumber, startSector, context);
    const int64_t pos = window.Position();
    const auto read = [&window](uint64_t offset) { return window.At(offset); };
    if (sectorNumber == startSector) {
        exif = std::memcmp(sector + 6, "Exif", 4) == 0;
        maxSize = exif ? kMaxSizeWithExif : kMaxSizeWithoutExif;
    }

    if (!lost_) {
        const JpegWalk::Step step = walk_.Advance(read, static_cast<uint64_t>(pos + sectorSize));
        if (walk_.exifAt != 0 && !exifRead_) {
            const RawSpan block = read(walk_.exifAt);
            if (block.bytes != nullptr) {
                exifRead_ = true;
                NameFromExif(block);
            }
        }
        if (walk_.sofSeen && pixelBound == 0 && walk_.height >= kLeastBoundHeight)
            pixelBound = uint64_t{walk_.width} * walk_.height;
        if (step == JpegWalk::Step::kEnd && static_cast<int64_t>(walk_.end) <= maxSize)
            return Finish(static_cast<int64_t>(walk_.end), sectorSize);
        if (step == JpegWalk::Step::kLost) {
            lost_ = true;
            skipLength = std::max<uint64_t>(skipLength, walk_.offset);
        }
    }

    int64_t endAt = 0;
    bool ended = false;
    if (lost_) {
        endAt = EndInZeroTail(sector, sectorSize, sectorNumber, context);
        ended = endAt > 0;
        if (!ended)
            endAt = sectorSize - static_cast<int64_t>(context.trailingZeroBytes);
        ended = ended || (pixelBound != 0 && static_cast<uint64_t>(pos) > pixelBound);
    }
    lastSector_ = sectorNumber;
    if (pos > maxSize)
        return Finish(maxSize, sectorSize);
    if (!ended)
        return 2;
    return Finish(pos + endAt, sectorSize);
}

}  // namespace BruteForce
