#pragma once

#include <cstdint>

// The scan-result archive: a 132-byte file header followed by frames, each a
// 36-byte frame header (signature, type GUID, body length) and its body. All
// integers are little-endian; archive offsets are 32-bit, so an archive stays
// below 4 GiB.

// A GUID as its 16 bytes stand in the file.
struct tagGUIDSIGN {
    uint8_t bytes[16];
    bool operator==(const tagGUIDSIGN&) const = default;
};

// Signature of the file header and of every frame header.
inline constexpr tagGUIDSIGN _frSignPub{{0xea, 0xf4, 0xb3, 0x1c, 0x05, 0x43, 0xb6, 0x4a, 0xb4, 0xb8,
                                         0x24, 0x4a, 0x33, 0xd9, 0x13, 0xbb}};
// Frame types of a saved scan.
inline constexpr tagGUIDSIGN _frFileSystemSearchControllerList{{0x94, 0x63, 0x9b, 0x40, 0x81, 0xf6,
                                                                0x88, 0x4e, 0xa2, 0x0f, 0x5d, 0x63,
                                                                0x57, 0x82, 0xed, 0x75}};
inline constexpr tagGUIDSIGN _frDiskDevice{{0x76, 0xa6, 0x72, 0xb0, 0x48, 0x05, 0x8b, 0x46, 0xba,
                                            0x9e, 0x91, 0x09, 0x3a, 0x63, 0xb5, 0x17}};
inline constexpr tagGUIDSIGN _frFileSystemNode{{0x6c, 0xf2, 0x08, 0xd2, 0x8c, 0x07, 0x34, 0x4e,
                                                0x9d, 0x71, 0xd9, 0x1f, 0x53, 0x5f, 0x7b, 0x57}};

enum RSMode : uint32_t {
    RS_MODE_READ = 0,   // loading
    RS_MODE_WRITE = 1,  // saving
};

// 1 to 4 are valid; a saved scan stores 1.
enum FileStatus : uint32_t {
    FILE_STATUS_NONE = 0,
    FILE_STATUS_SAVED = 1,
    FILE_STATUS_LAST_VALID = 4,
};

struct FILEHEADER {
    static constexpr uint32_t kSize = 132;
    static constexpr uint32_t kVersion = 5800;
    static constexpr uint32_t kMaxDescription = 100;

    tagGUIDSIGN signature = _frSignPub;
    uint32_t version = 0;
    uint32_t checksum = 0;  // CRC-16 of the 132 bytes with this field 0
    uint32_t status = FILE_STATUS_NONE;
    uint32_t descriptionLength = 0;
    char description[kMaxDescription] = {};  // not NUL-terminated
};

// Codes carried by CRSException.
enum RSErrorCode : uint32_t {
    RS_ERROR_NONE = 0,
    RS_ERROR_HEADER_RANGE = 2,     // stored status or description length out of range
    RS_ERROR_WRONG_MODE = 3,       // a write on a read archive or the reverse
    RS_ERROR_SHORT_READ = 5,       // the file gave fewer bytes than the frame promised
    RS_ERROR_WRITE_FRAME = 6,      // a frame header or body could not be written
    RS_ERROR_NO_SUCH_FRAME = 7,    // the frame asked for is not in the file
    RS_ERROR_NO_FRAME_OPEN = 8,    // a frame operation with no frame open
    RS_ERROR_FRAME_DAMAGED = 9,    // a frame header claims more bytes than the file holds
    RS_ERROR_TOO_LARGE = 10,       // the archive would pass its 4 GiB limit
    RS_ERROR_RECORD_DAMAGED = 11,  // a record inside a frame is out of bounds or out of range
};

class CRSException {
public:
    explicit CRSException(uint32_t code) : code_(code) {}
    uint32_t GetErrorcode() const { return code_; }

private:
    uint32_t code_;
};

// The archive as its users see it. Header problems answer false; frame
// problems raise CRSException, after which the archive stays usable.
class IRSData {
public:
    virtual ~IRSData() = default;

    // Reads 132 bytes at the current position: signature and status 1 to 4?
    virtual bool CheckFile() = 0;
    virtual bool StartRS(const char* path, int truncate) = 0;
    virtual bool EndRS() = 0;
    virtual bool WriteFileHeader(const FILEHEADER& header) = 0;
    // True when the checksum matches and the version is ours; `header` holds
    // what was read, with the computed checksum.
    virtual bool ReadFileHeader(FILEHEADER& header) = 0;
    virtual uint32_t GetStatus() = 0;
    virtual bool SetStatus(FileStatus status) = 0;
    virtual bool SetFileDescription(const char* text) = 0;
    virtual bool GetFileDescription(char* buffer, int size) = 0;
    // Write mode appends a new frame; read mode opens the first of that type.
    virtual bool OpenFrame(const tagGUIDSIGN& type) = 0;
    virtual bool CloseFrame() = 0;
    virtual uint32_t GetFrameSize() = 0;
    // Reads at most what remains of the body; a read at the end reads nothing.
    virtual bool ReadCurFrame(void* buffer, uint32_t count) = 0;
    // False when the bytes were not all written; the archive then refuses
    // further writes and the frame's close raises.
    virtual bool WriteCurFrame(const void* buffer, uint32_t count) = 0;
    virtual bool FlushBuffer() = 0;
};
