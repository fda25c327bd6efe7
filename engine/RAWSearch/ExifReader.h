#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Camera facts read from one Exif block. Texts are NUL-terminated.
struct tag_ExifInfo {
    // Which value bodies the reader copies out (else it notes where they lie).
    static constexpr uint32_t kCopyThumbnail = 2;
    static constexpr uint32_t kCopyUserComment = 4;
    static constexpr uint32_t kCopyMakerNote = 8;

    uint32_t copyFlags = 0;
    char exifVersion[5] = {};
    char cameraMake[32] = {};
    char cameraModel[40] = {};
    char dateTime[20] = {};
    char dateTimeDigitized[20] = {};
    int32_t height = 0;  // not filled by the reader
    int32_t width = 0;   // not filled by the reader
    int32_t orientation = 0;
    int32_t isColor = 0;  // not filled by the reader
    int32_t process = 0;  // not filled by the reader
    int32_t flashUsed = 0;
    float focalLength = 0;
    float exposureTime = 0;
    float apertureFNumber = 0;
    float distance = 0;
    float sensorWidth = 0;
    float exposureBias = 0;
    int32_t lightSource = 0;
    int32_t meteringMode = 0;
    int32_t exposureProgram = 0;
    int32_t isoEquivalent = 0;
    int32_t compressionLevel = 0;
    float focalPlaneXRes = 0;
    float focalPlaneYRes = 0;
    float focalPlaneUnits = 0;
    float xResolution = 0;
    float yResolution = 0;
    float resolutionUnit = 0;
    float brightness = 0;
    char comments[1000] = {};  // first byte cleared by each parse, not filled

    // User comment: length, and its file offset or (copy flag) its bytes.
    uint32_t userCommentLength = 0;
    uint64_t userCommentOffset = 0;
    std::vector<uint8_t> userComment;
    // Maker note: length, and its offset from the TIFF header or its bytes.
    uint32_t makerNoteLength = 0;
    uint64_t makerNoteOffset = 0;
    std::vector<uint8_t> makerNote;
    // Thumbnail: its file offset or its bytes, and its length.
    uint64_t thumbnailOffset = 0;
    std::vector<uint8_t> thumbnail;
    uint32_t thumbnailLength = 0;
};

// Reads an Exif block (the body of a JPEG APP1 "Exif" segment, or the same
// block found elsewhere) into a tag_ExifInfo. One reader holds the state of
// one parse at a time; callers keep their own reader, so parses on different
// scans never share anything.
class CExifReader {
public:
    // Size of one component of Exif format codes 1 to 12; 0 for other codes.
    static uint32_t ComponentSize(int format);

    // The record the next parse fills; the caller owns it and clears it first.
    void SetExitInfo(tag_ExifInfo* info) { info_ = info; }

    // Parses the block at `segment`, which points at the "Exif" identifier;
    // `length` is the APP1 length field's value and `available` the number of
    // bytes readable from `segment` (nothing past them is read). `base` is any
    // position of the caller's buffer and `baseOffset` its file offset; file
    // offsets of values are counted from it. Answers 1 on success, 0 on
    // failure (see EXIF_GetErrorString); a failure keeps what was stored.
    int EXIF_process_EXIF(const uint8_t* base, uint64_t baseOffset, const uint8_t* segment,
                          uint32_t length, size_t available);

    const char* EXIF_GetErrorString() const { return error_.c_str(); }

    // One value of the given format as a double, in the current byte order;
    // the value's whole component must be readable.
    double EXIF_ConvertAnyFormat(const uint8_t* value, int format) const;
    int32_t EXIF_Get32s(const uint8_t* p) const;

private:
    uint32_t Get16u(const uint8_t* p) const;
    uint32_t Get32u(const uint8_t* p) const;
    // Walks the directory at `position` of the TIFF data, then its links.
    bool ProcessDirectory(uint64_t position);
    void StoreValue(uint16_t tag, int format, uint32_t components, const uint8_t* value,
                    uint64_t byteCount, uint64_t& thumbnailOffset, uint64_t& thumbnailSize);
    bool Fail(const char* message);

    tag_ExifInfo* info_ = nullptr;  // not owned
    bool motorolaOrder_ = false;
    uint32_t imageWidth_ = 0;
    std::string error_;
    std::vector<uint64_t> openDirectories_;
    uint32_t directoriesWalked_ = 0;
    const uint8_t* base_ = nullptr;
    uint64_t baseOffset_ = 0;
    const uint8_t* tiff_ = nullptr;
    uint64_t dataLength_ = 0;
};
