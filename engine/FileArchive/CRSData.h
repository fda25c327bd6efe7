#pragma once

#include <cstdint>
#include <vector>

#include "CRC.h"
#include "RSData.h"
#include "StdFile.h"

// The archive in a file, made for one mode (read or write) and kept in it.
// Frame bodies pass through one buffer: written out when full and when the
// frame closes, or read ahead within the open frame.
class CRSData : public IRSData {
public:
    static constexpr uint32_t kFrameHeaderSize = 36;
    static constexpr uint32_t kNoFrame = 0xFFFFFFFF;
    static constexpr uint16_t kHeaderPolynomial = 0x8005;
    // Offsets and lengths are 32-bit: nothing may end past this.
    static constexpr uint64_t kMaxArchiveSize = 0xFFFFFFFFull;
    static constexpr uint32_t kBufferSize = 524288;

    explicit CRSData(RSMode mode) : mode_(mode) {}

    bool CheckFile() override;
    bool StartRS(const char* path, int truncate) override;
    bool EndRS() override;
    bool WriteFileHeader(const FILEHEADER& header) override;
    bool ReadFileHeader(FILEHEADER& header) override;
    uint32_t GetStatus() override;
    bool SetStatus(FileStatus status) override;
    bool SetFileDescription(const char* text) override;
    bool GetFileDescription(char* buffer, int size) override;
    bool OpenFrame(const tagGUIDSIGN& type) override;
    bool CloseFrame() override;
    uint32_t GetFrameSize() override;
    bool ReadCurFrame(void* buffer, uint32_t count) override;
    bool WriteCurFrame(const void* buffer, uint32_t count) override;
    bool FlushBuffer() override;

    RSMode GetMode() const { return mode_; }

private:
    struct FrameHeader {
        tagGUIDSIGN signature = _frSignPub;
        tagGUIDSIGN type = {};
        uint32_t length = 0;
    };

    [[noreturn]] void Raise(uint32_t code);
    [[noreturn]] void RaisePending();
    void RequireMode(RSMode mode);
    // Reads the header bytes at offset 0; false when fewer than 132 came.
    bool ReadHeaderBytes(uint8_t* bytes);
    bool WriteFrameHeader();
    void ForgetFrame();
    void FindFrame(const tagGUIDSIGN& type);
    // Reads the body from `position` on into the buffer; false when nothing came.
    bool FillReadBuffer(uint32_t position);

    RSMode mode_;
    CStdFile file_;
    CCRC crc_;
    FrameHeader frame_;
    uint32_t frameStart_ = kNoFrame;
    uint32_t readPosition_ = 0;
    std::vector<uint8_t> buffer_;
    uint32_t bufferStart_ = 0;  // body offset of the read-ahead bytes
    uint32_t bufferCount_ = 0;  // bytes held: read ahead, or waiting to be written
    uint32_t pendingError_ = RS_ERROR_NONE;
};
