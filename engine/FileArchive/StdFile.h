#pragma once

#include <cstdint>
#include <string>

// A file by its POSIX descriptor. Reads and writes go on until every byte is
// moved or the system says no, so a short transfer is never taken for a whole.
class CStdFile {
public:
    // 1, 2 and 4 alike open read-write and create a missing file; 3 also empties it.
    enum OpenMode : uint32_t {
        kReadOnly = 0,
        kReadWrite = 1,
        kReadWriteCreate = 2,
        kReadWriteTruncate = 3,
        kReadWriteKeep = 4,
    };

    CStdFile() = default;
    CStdFile(const char* path, uint32_t mode);
    ~CStdFile();
    CStdFile(const CStdFile&) = delete;
    CStdFile& operator=(const CStdFile&) = delete;

    bool Open(const char* path, uint32_t mode);
    void Close();
    void Flush() {}
    bool IsOpen() const { return fd_ >= 0; }
    // The number of bytes read: fewer than `count` only at the end of the file or on an error.
    uint32_t Read(void* buffer, uint32_t count);
    // True when all `count` bytes were written.
    bool Write(const void* buffer, uint32_t count);
    bool Seek(int64_t offset);
    bool SeekToBegin() { return Seek(0); }
    bool SeekToEnd();
    int64_t GetPosition() const;
    bool GetPosistion(int64_t* position) const;
    bool GetFileLength(int64_t* length) const;
    const std::string& GetPath() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};
