#include "ExifReader.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"

namespace {

constexpr uint16_t kTagMake = 271;
constexpr uint16_t kTagModel = 272;
constexpr uint16_t kTagOrientation = 274;
constexpr uint16_t kTagXResolution = 282;
constexpr uint16_t kTagYResolution = 283;
constexpr uint16_t kTagResolutionUnit = 296;
constexpr uint16_t kTagThumbnailOffset = 513;
constexpr uint16_t kTagThumbnailLength = 514;
constexpr uint16_t kTagExposureTime = 33434;
constexpr uint16_t kTagFNumber = 33437;
constexpr uint16_t kTagExposureProgram = 34850;
constexpr uint16_t kTagIsoEquivalent = 34855;
constexpr uint16_t kTagExifOffset = 34665;
constexpr uint16_t kTagExifVersion = 36864;
constexpr uint16_t kTagDateTimeOriginal = 36867;
constexpr uint16_t kTagDateTimeDigitized = 36868;
constexpr uint16_t kTagCompressedBitsPerPixel = 37122;
constexpr uint16_t kTagBrightness = 37379;
constexpr uint16_t kTagExposureBias = 37380;
constexpr uint16_t kTagSubjectDistance = 37382;
constexpr uint16_t kTagMeteringMode = 37383;
constexpr uint16_t kTagLightSource = 37384;
constexpr uint16_t kTagFlash = 37385;
constexpr uint16_t kTagFocalLength = 37386;
constexpr uint16_t kTagMakerNote = 37500;
constexpr uint16_t kTagUserComment = 37510;
constexpr uint16_t kTagImageWidth = 40962;
constexpr uint16_t kTagImageHeight = 40963;
constexpr uint16_t kTagInteropOffset = 40965;
constexpr uint16_t kTagFocalPlaneXRes = 41486;
constexpr uint16_t kTagFocalPlaneYRes = 41487;
constexpr uint16_t kTagFocalPlaneUnit = 41488;

constexpr uint64_t kDirectoryEntryBytes = 12;
// Directories one parse follows at most, nested or chained; real blocks
// have a handful, and a crafted one may not recurse without end.
constexpr uint32_t kMostDirectories = 64;

// Factor of a resolution unit code; false for codes with none.
bool UnitFactor(int code, float& factor) {
    switch (code) {
        case 1:
        case 2:
            factor = 1.0f;
            return true;
        case 3:
            factor = 0.3937007874f;
            return true;
        case 4:
            factor = 0.03937007874f;
            return true;
        case 5:
            factor = 0.00003937007874f;
            return true;
        default:
            return false;
    }
}

// Copies at most `most` bytes of a value into a NUL-terminated text field.
template <size_t N>
void CopyText(char (&field)[N], const uint8_t* value, uint64_t byteCount, size_t most) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(byteCount, most));
    std::memset(field, 0, N);
    std::memcpy(field, value, count);
}

// Conversions that keep out-of-range and NaN values defined.
int32_t ToInt32(double number) {
    if (!(number == number))
        return 0;
    return static_cast<int32_t>(std::clamp(number, -2147483648.0, 2147483647.0));
}
uint64_t ToUint64(double number) {
    if (!(number > 0))
        return 0;
    return number >= 18446744073709549568.0 ? UINT64_MAX : static_cast<uint64_t>(number);
}
float ToFloat(double number) {
    if (!(number == number))
        return 0;
    return static_cast<float>(std::clamp(number, -3.4e38, 3.4e38));
}

}  // namespace

uint32_t CExifReader::ComponentSize(int format) {
    static constexpr uint32_t kSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return format >= 1 && format <= 12 ? kSizes[format] : 0;
}

uint32_t CExifReader::Get16u(const uint8_t* p) const {
    return motorolaOrder_ ? ReadBE16(p) : ReadLE16(p);
}

uint32_t CExifReader::Get32u(const uint8_t* p) const {
    return motorolaOrder_ ? ReadBE32(p) : ReadLE32(p);
}

int32_t CExifReader::EXIF_Get32s(const uint8_t* p) const {
    return static_cast<int32_t>(Get32u(p));
}

double CExifReader::EXIF_ConvertAnyFormat(const uint8_t* value, int format) const {
    switch (format) {
        case 1:
            return value[0];
        case 3:
            return Get16u(value);
        case 4:
            return Get32u(value);
        case 5:
        case 10: {
            const int32_t numerator = EXIF_Get32s(value);
            const int32_t denominator = EXIF_Get32s(value + 4);
            return denominator == 0 ? 0.0 : double(numerator) / double(denominator);
        }
        case 6:
            return static_cast<int8_t>(value[0]);
        case 8:
            return static_cast<int16_t>(Get16u(value));
        case 9:
            return EXIF_Get32s(value);
        case 11: {
            const uint32_t bits = Get32u(value);
            float number = 0;
            std::memcpy(&number, &bits, sizeof(number));
            return number;
        }
        case 12: {
            const uint64_t bits = motorolaOrder_ ? ReadBE64(value) : ReadLE64(value);
            double number = 0;
            std::memcpy(&number, &bits, sizeof(number));
            return number;
        }
        default:
            return 0.0;
    }
}

bool CExifReader::Fail(const char* message) {
    error_ = message;
    return false;
}

int CExifReader::EXIF_process_EXIF(const uint8_t* base, uint64_t baseOffset, const uint8_t* segment,
                                   uint32_t length, size_t available) {
    if (info_ == nullptr || segment == nullptr)
        return Fail("Incorrect Exif header");
    info_->flashUsed = 0;
    info_->comments[0] = 0;
    imageWidth_ = 0;
    openDirectories_.clear();
    directoriesWalked_ = 0;

    static constexpr uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (available < 14 || std::memcmp(segment, kExifHeader, 6) != 0)
        return Fail("Incorrect Exif header");
    if (segment[6] == 'I' && segment[7] == 'I') {
        motorolaOrder_ = false;
    } else if (segment[6] == 'M' && segment[7] == 'M') {
        motorolaOrder_ = true;
    } else {
        return Fail("Invalid Exif alignment marker.");
    }
    if (Get16u(segment + 8) != 42)
        return Fail("Invalid Exif start (1)");
    const uint32_t firstOffset = Get32u(segment + 10);
    if (firstOffset < 8 || firstOffset > 16)
        return Fail("Suspicious offset of first IFD value");

    base_ = base;
    baseOffset_ = baseOffset;
    tiff_ = segment + 6;
    // The length field counts the block; never past what the caller holds.
    dataLength_ = std::min<uint64_t>(length, available);
    dataLength_ = dataLength_ > 6 ? dataLength_ - 6 : 0;
    if (!ProcessDirectory(8))
        return 0;
    if (info_->focalPlaneXRes != 0) {
        info_->sensorWidth =
            ToFloat(double(imageWidth_) * info_->focalPlaneUnits / info_->focalPlaneXRes);
    }
    return 1;
}

bool CExifReader::ProcessDirectory(uint64_t position) {
    if (std::find(openDirectories_.begin(), openDirectories_.end(), position) !=
        openDirectories_.end()) {
        return Fail("Illegal subdirectory link");
    }
    // Too many directories: the rest is not followed, what was read stands.
    if (++directoriesWalked_ > kMostDirectories)
        return true;
    openDirectories_.push_back(position);
    const bool walked = [&] {
        if (position + 2 > dataLength_)
            return Fail("Illegally sized directory");
        const uint8_t* directory = tiff_ + position;
        const uint64_t entries = Get16u(directory);
        if (position + 2 + kDirectoryEntryBytes * entries > dataLength_)
            return Fail("Illegally sized directory");

        uint64_t thumbnailOffset = 0;
        uint64_t thumbnailSize = 0;
        for (uint64_t i = 0; i < entries; ++i) {
            const uint8_t* entry = directory + 2 + kDirectoryEntryBytes * i;
            const uint16_t tag = static_cast<uint16_t>(Get16u(entry));
            const int format = static_cast<int>(Get16u(entry + 2));
            const uint32_t components = Get32u(entry + 4);
            const uint32_t componentSize = ComponentSize(format);
            if (componentSize == 0)
                return Fail("Illegal format code in EXIF dir");
            const uint64_t byteCount = uint64_t{components} * componentSize;
            const uint8_t* value = entry + 8;
            if (byteCount > 4) {
                const uint64_t valueOffset = Get32u(entry + 8);
                if (valueOffset + byteCount > dataLength_)
                    return Fail("Illegal pointer offset value in EXIF.");
                value = tiff_ + valueOffset;
            }

            if (tag == kTagExifOffset || tag == kTagInteropOffset) {
                if (byteCount < 4)
                    continue;
                const uint64_t subdirectory = Get32u(value);
                if (subdirectory > dataLength_)
                    return Fail("Illegal subdirectory link");
                // A damaged sub-directory does not stop this one.
                ProcessDirectory(subdirectory);
                continue;
            }
            StoreValue(tag, format, components, value, byteCount, thumbnailOffset, thumbnailSize);
        }

        const uint64_t linkPosition = position + 2 + kDirectoryEntryBytes * entries;
        if (linkPosition + 4 <= dataLength_) {
            const uint64_t next = Get32u(tiff_ + linkPosition);
            if (next > dataLength_)
                return Fail("Illegal subdirectory link");
            if (next != 0 && !ProcessDirectory(next))
                return false;
        }

        if (thumbnailOffset != 0 && thumbnailSize != 0 && thumbnailOffset <= dataLength_ &&
            thumbnailSize <= dataLength_ - thumbnailOffset) {
            info_->thumbnailLength = static_cast<uint32_t>(thumbnailSize);
            const uint8_t* thumbnail = tiff_ + thumbnailOffset;
            if (info_->copyFlags & tag_ExifInfo::kCopyThumbnail) {
                info_->thumbnail.assign(thumbnail, thumbnail + thumbnailSize);
            } else {
                info_->thumbnailOffset = baseOffset_ + static_cast<uint64_t>(thumbnail - base_);
            }
        }
        return true;
    }();
    openDirectories_.pop_back();
    return walked;
}

void CExifReader::StoreValue(uint16_t tag, int format, uint32_t components, const uint8_t* value,
                             uint64_t byteCount, uint64_t& thumbnailOffset,
                             uint64_t& thumbnailSize) {
    tag_ExifInfo& info = *info_;
    switch (tag) {
        case kTagMake:
            CopyText(info.cameraMake, value, byteCount, 31);
            return;
        case kTagModel:
            CopyText(info.cameraModel, value, byteCount, 39);
            return;
        case kTagDateTimeOriginal:
            CopyText(info.dateTime, value, byteCount, 19);
            return;
        case kTagDateTimeDigitized:
            CopyText(info.dateTimeDigitized, value, byteCount, 19);
            return;
        case kTagExifVersion:
            CopyText(info.exifVersion, value, byteCount, 4);
            return;
        case kTagUserComment:
            info.userCommentLength = static_cast<uint32_t>(byteCount);
            if (info.copyFlags & tag_ExifInfo::kCopyUserComment)
                info.userComment.assign(value, value + byteCount);
            else
                info.userCommentOffset = baseOffset_ + static_cast<uint64_t>(value - base_);
            return;
        case kTagMakerNote:
            info.makerNoteLength = static_cast<uint32_t>(byteCount);
            if (info.copyFlags & tag_ExifInfo::kCopyMakerNote)
                info.makerNote.assign(value, value + byteCount);
            else
                info.makerNoteOffset = static_cast<uint64_t>(value - tiff_);
            return;
        default:
            break;
    }

    // The rest are numbers; an entry without a whole first component has none.
    if (components == 0)
        return;
    const double number = EXIF_ConvertAnyFormat(value, format);
    float unit = 0;
    switch (tag) {
        case kTagOrientation:
            info.orientation = ToInt32(number);
            if (info.orientation < 1 || info.orientation > 8) {
                info.orientation = 0;
                error_ = "Undefined rotation value";
            }
            break;
        case kTagFlash:
            info.flashUsed = (ToInt32(number) & 7) != 0 ? 1 : 0;
            break;
        case kTagFocalLength:
            info.focalLength = ToFloat(number);
            break;
        case kTagExposureTime:
            info.exposureTime = ToFloat(number);
            break;
        case kTagFNumber:
            info.apertureFNumber = ToFloat(number);
            break;
        case kTagSubjectDistance:
            info.distance = ToFloat(number);
            break;
        case kTagExposureBias:
            info.exposureBias = ToFloat(number);
            break;
        case kTagLightSource:
            info.lightSource = ToInt32(number);
            break;
        case kTagMeteringMode:
            info.meteringMode = ToInt32(number);
            break;
        case kTagExposureProgram:
            info.exposureProgram = ToInt32(number);
            break;
        case kTagIsoEquivalent:
            info.isoEquivalent = ToInt32(number);
            if (info.isoEquivalent < 50)
                info.isoEquivalent *= 200;
            break;
        case kTagCompressedBitsPerPixel:
            info.compressionLevel = ToInt32(number);
            break;
        case kTagFocalPlaneXRes:
            info.focalPlaneXRes = ToFloat(number);
            break;
        case kTagFocalPlaneYRes:
            info.focalPlaneYRes = ToFloat(number);
            break;
        case kTagFocalPlaneUnit:
            if (UnitFactor(ToInt32(number), unit))
                info.focalPlaneUnits = unit;
            break;
        case kTagXResolution:
            info.xResolution = ToFloat(number);
            break;
        case kTagYResolution:
            info.yResolution = ToFloat(number);
            break;
        case kTagResolutionUnit:
            if (UnitFactor(ToInt32(number), unit))
                info.resolutionUnit = unit;
            break;
        case kTagBrightness:
            info.brightness = ToFloat(number);
            break;
        case kTagImageWidth:
        case kTagImageHeight:
            imageWidth_ =
                std::max(imageWidth_,
                         static_cast<uint32_t>(std::min<uint64_t>(ToUint64(number), UINT32_MAX)));
            break;
        case kTagThumbnailOffset:
            thumbnailOffset = ToUint64(number);
            break;
        case kTagThumbnailLength:
            thumbnailSize = ToUint64(number);
            break;
        default:
            break;
    }
}
