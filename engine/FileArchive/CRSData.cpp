#include "CRSData.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"

namespace {

void PutLE32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

constexpr uint32_t kChecksumOffset = 20;
constexpr uint32_t kStatusOffset = 24;

void EncodeHeader(const FILEHEADER& header, uint8_t* bytes) {
    std::memcpy(bytes, header.signature.bytes, 16);
    PutLE32(bytes + 16, header.version);
    PutLE32(bytes + kChecksumOffset, header.checksum);
    PutLE32(bytes + kStatusOffset, header.status);
    PutLE32(bytes + 28, header.descriptionLength);
    std::memcpy(bytes + 32, header.description, FILEHEADER::kMaxDescription);
}

void DecodeHeader(const uint8_t* bytes, FILEHEADER& header) {
    std::memcpy(header.signature.bytes, bytes, 16);
    header.version = ReadLE32(bytes + 16);
    header.checksum = ReadLE32(bytes + kChecksumOffset);
    header.status = ReadLE32(bytes + kStatusOffset);
    header.descriptionLength = ReadLE32(bytes + 28);
    std::memcpy(header.description, bytes + 32, FILEHEADER::kMaxDescription);
}

bool IsValidStatus(uint32_t status) {
    return status >= FILE_STATUS_SAVED && status <= FILE_STATUS_LAST_VALID;
}

}  // namespace

void CRSData::Raise(uint32_t code) {
    pendingError_ = RS_ERROR_NONE;
    throw CRSException(code);
}

void CRSData::RaisePending() {
    Raise(pendingError_);
}

void CRSData::RequireMode(RSMode mode) {
    if (mode_ != mode) {
        Raise(RS_ERROR_WRONG_MODE);
    }
}

bool CRSData::CheckFile() {
    uint8_t bytes[FILEHEADER::kSize];
    if (file_.Read(bytes, sizeof bytes) != sizeof bytes) {
        return false;
    }
    FILEHEADER header;
    DecodeHeader(bytes, header);
    return header.signature == _frSignPub && IsValidStatus(header.status);
}

bool CRSData::StartRS(const char* path, int truncate) {
    EndRS();
    pendingError_ = RS_ERROR_NONE;
    if (path == nullptr || *path == '\0') {
        return false;
    }
    uint32_t mode = CStdFile::kReadOnly;
    if (mode_ == RS_MODE_WRITE) {
        mode = truncate != 0 ? CStdFile::kReadWriteTruncate : CStdFile::kReadWriteKeep;
    }
    if (!file_.Open(path, mode)) {
        return false;
    }
    // No archive of ours reaches 4 GiB: a larger file is not one.
    int64_t length = 0;
    if (!file_.GetFileLength(&length) || static_cast<uint64_t>(length) > kMaxArchiveSize) {
        file_.Close();
        return false;
    }
    return true;
}

bool CRSData::EndRS() {
    // A frame left open still gets its buffered bytes and its length.
    try {
        CloseFrame();
    } catch (const CRSException&) {
    }
    file_.Close();
    return true;
}

bool CRSData::WriteFileHeader(const FILEHEADER& header) {
    if (mode_ != RS_MODE_WRITE || !file_.SeekToBegin()) {
        return false;
    }
    FILEHEADER stored = header;
    stored.version = FILEHEADER::kVersion;
    stored.checksum = 0;
    uint8_t bytes[FILEHEADER::kSize];
    EncodeHeader(stored, bytes);
    PutLE32(bytes + kChecksumOffset, crc_.RunCRC16(bytes, sizeof bytes, kHeaderPolynomial));
    return file_.Write(bytes, sizeof bytes);
}

bool CRSData::ReadHeaderBytes(uint8_t* bytes) {
    return file_.SeekToBegin() && file_.Read(bytes, FILEHEADER::kSize) == FILEHEADER::kSize;
}

bool CRSData::ReadFileHeader(FILEHEADER& header) {
    uint8_t bytes[FILEHEADER::kSize];
    if (!ReadHeaderBytes(bytes)) {
        return false;
    }
    DecodeHeader(bytes, header);
    uint32_t stored = header.checksum;
    PutLE32(bytes + kChecksumOffset, 0);
    header.checksum = crc_.RunCRC16(bytes, sizeof bytes, kHeaderPolynomial);
    return stored == header.checksum && header.version == FILEHEADER::kVersion;
}

uint32_t CRSData::GetStatus() {
    RequireMode(RS_MODE_READ);
    FILEHEADER header;
    header.status = FILE_STATUS_NONE;
    if (ReadFileHeader(header)) {
        if (header.status > FILE_STATUS_LAST_VALID) {
            Raise(RS_ERROR_HEADER_RANGE);
        }
        return header.status;
    }
    if (pendingError_ != RS_ERROR_NONE) {
        RaisePending();
    }
    return header.status;
}

bool CRSData::SetStatus(FileStatus status) {
    RequireMode(RS_MODE_WRITE);
    FILEHEADER header;
    if (!ReadFileHeader(header)) {
        header = FILEHEADER{};
    }
    header.status = status;
    return WriteFileHeader(header);
}

bool CRSData::SetFileDescription(const char* text) {
    RequireMode(RS_MODE_WRITE);
    FILEHEADER header;
    if (text == nullptr || !ReadFileHeader(header)) {
        return false;
    }
    header.descriptionLength =
        static_cast<uint32_t>(std::min<size_t>(std::strlen(text), FILEHEADER::kMaxDescription));
    std::memcpy(header.description, text, header.descriptionLength);
    return WriteFileHeader(header);
}

bool CRSData::GetFileDescription(char* buffer, int size) {
    if (buffer == nullptr || size < 1) {
        return false;
    }
    RequireMode(RS_MODE_READ);
    FILEHEADER header;
    if (!ReadFileHeader(header)) {
        return false;
    }
    if (header.descriptionLength > FILEHEADER::kMaxDescription) {
        Raise(RS_ERROR_HEADER_RANGE);
    }
    uint32_t count = std::min<uint32_t>(header.descriptionLength, static_cast<uint32_t>(size - 1));
    std::memcpy(buffer, header.description, count);
    buffer[count] = '\0';
    return true;
}

bool CRSData::WriteFrameHeader() {
    uint8_t bytes[kFrameHeaderSize];
    std::memcpy(bytes, frame_.signature.bytes, 16);
    std::memcpy(bytes + 16, frame_.type.bytes, 16);
    PutLE32(bytes + 32, frame_.length);
    return file_.Seek(frameStart_) && file_.Write(bytes, sizeof bytes);
}

void CRSData::ForgetFrame() {
    frame_ = FrameHeader{};
    frame_.signature = {};
    frameStart_ = kNoFrame;
    readPosition_ = 0;
    bufferStart_ = 0;
    bufferCount_ = 0;
}

bool CRSData::OpenFrame(const tagGUIDSIGN& type) {
    CloseFrame();
    if (mode_ == RS_MODE_READ) {
        FindFrame(type);
        return true;
    }
    int64_t end = 0;
    if (!file_.SeekToEnd() || !file_.GetPosistion(&end)) {
        Raise(RS_ERROR_WRITE_FRAME);
    }
    if (static_cast<uint64_t>(end) + kFrameHeaderSize > kMaxArchiveSize) {
        Raise(RS_ERROR_TOO_LARGE);
    }
    frame_ = FrameHeader{_frSignPub, type, 0};
    frameStart_ = static_cast<uint32_t>(end);
    if (!WriteFrameHeader()) {
        ForgetFrame();
        Raise(RS_ERROR_WRITE_FRAME);
    }
    return true;
}

void CRSData::FindFrame(const tagGUIDSIGN& type) {
    int64_t fileLength = 0;
    if (file_.GetFileLength(&fileLength)) {
        // Each step moves forward by at least a frame header, so the walk
        // ends at the end of the file whatever the lengths say.
        uint64_t position = FILEHEADER::kSize;
        while (position + kFrameHeaderSize <= static_cast<uint64_t>(fileLength)) {
            uint8_t bytes[kFrameHeaderSize];
            if (!file_.Seek(static_cast<int64_t>(position)) ||
                file_.Read(bytes, sizeof bytes) != sizeof bytes) {
                break;
            }
            FrameHeader header;
            std::memcpy(header.signature.bytes, bytes, 16);
            std::memcpy(header.type.bytes, bytes + 16, 16);
            header.length = ReadLE32(bytes + 32);
            uint64_t bodyEnd = position + kFrameHeaderSize + header.length;
            if (header.signature == _frSignPub && header.type == type) {
                if (bodyEnd > static_cast<uint64_t>(fileLength)) {
                    ForgetFrame();
                    Raise(RS_ERROR_FRAME_DAMAGED);
                }
                frame_ = header;
                frameStart_ = static_cast<uint32_t>(position);
                readPosition_ = 0;
                return;
            }
            position = bodyEnd;
        }
    }
    ForgetFrame();
    Raise(RS_ERROR_NO_SUCH_FRAME);
}

bool CRSData::CloseFrame() {
    if (frameStart_ != kNoFrame && mode_ == RS_MODE_WRITE) {
        if (!FlushBuffer() || !WriteFrameHeader()) {
            pendingError_ = RS_ERROR_WRITE_FRAME;
        }
    }
    ForgetFrame();
    if (pendingError_ != RS_ERROR_NONE) {
        RaisePending();
    }
    return true;
}

uint32_t CRSData::GetFrameSize() {
    if (frameStart_ == kNoFrame) {
        Raise(RS_ERROR_NO_FRAME_OPEN);
    }
    return frame_.length;
}

bool CRSData::FillReadBuffer(uint32_t position) {
    buffer_.resize(kBufferSize);
    uint32_t chunk = std::min(kBufferSize, frame_.length - position);
    uint64_t offset = uint64_t{frameStart_} + kFrameHeaderSize + position;
    bufferStart_ = position;
    bufferCount_ = file_.Seek(static_cast<int64_t>(offset)) ? file_.Read(buffer_.data(), chunk) : 0;
    return bufferCount_ > 0;
}

bool CRSData::ReadCurFrame(void* buffer, uint32_t count) {
    RequireMode(RS_MODE_READ);
    if (frameStart_ == kNoFrame) {
        Raise(RS_ERROR_NO_FRAME_OPEN);
    }
    uint32_t wanted = std::min(count, frame_.length - readPosition_);
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t copied = 0;
    while (copied < wanted) {
        uint32_t position = readPosition_ + copied;
        if (position < bufferStart_ || position >= bufferStart_ + bufferCount_) {
            if (!FillReadBuffer(position)) {
                readPosition_ += wanted;
                Raise(RS_ERROR_SHORT_READ);
            }
        }
        uint32_t take = std::min(wanted - copied, bufferStart_ + bufferCount_ - position);
        std::memcpy(out + copied, buffer_.data() + (position - bufferStart_), take);
        copied += take;
    }
    readPosition_ += wanted;
    return true;
}

bool CRSData::WriteCurFrame(const void* buffer, uint32_t count) {
    if (pendingError_ != RS_ERROR_NONE) {
        return false;
    }
    RequireMode(RS_MODE_WRITE);
    if (frameStart_ == kNoFrame) {
        Raise(RS_ERROR_NO_FRAME_OPEN);
    }
    uint64_t end = uint64_t{frameStart_} + kFrameHeaderSize + frame_.length + count;
    if (end > kMaxArchiveSize) {
        pendingError_ = RS_ERROR_TOO_LARGE;
        return false;
    }
    if (count > kBufferSize - bufferCount_ && !FlushBuffer()) {
        return false;
    }
    if (count >= kBufferSize) {
        // Too big to buffer: straight to the end of the file, where the open frame grows.
        if (!file_.SeekToEnd() || !file_.Write(buffer, count)) {
            pendingError_ = RS_ERROR_WRITE_FRAME;
            return false;
        }
    } else if (count > 0) {
        buffer_.resize(kBufferSize);
        std::memcpy(buffer_.data() + bufferCount_, buffer, count);
        bufferCount_ += count;
    }
    frame_.length += count;
    return true;
}

bool CRSData::FlushBuffer() {
    if (mode_ != RS_MODE_WRITE || bufferCount_ == 0) {
        return true;
    }
    // The open frame is always the last thing in the file. A failed write may
    // leave part of the bytes behind: the frame can no longer be trusted, so
    // the archive refuses what follows.
    bool written = file_.SeekToEnd() && file_.Write(buffer_.data(), bufferCount_);
    bufferCount_ = 0;
    if (!written) {
        pendingError_ = RS_ERROR_WRITE_FRAME;
    }
    return written;
}
