#include "StdFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

CStdFile::CStdFile(const char* path, uint32_t mode) {
    Open(path, mode);
}

CStdFile::~CStdFile() {
    Close();
}

bool CStdFile::Open(const char* path, uint32_t mode) {
    Close();
    if (path == nullptr || mode > kReadWriteKeep) {
        return false;
    }
    path_ = path;
    int flags = O_CLOEXEC;
    if (mode == kReadOnly) {
        flags |= O_RDONLY;
    } else {
        flags |= O_RDWR | O_CREAT;
        if (mode == kReadWriteTruncate) {
            flags |= O_TRUNC;
        }
    }
    do {
        fd_ = ::open(path, flags, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        return false;
    }
    // Saved results are shared between the users of the machine; a file
    // opened only for reading is left as it is.
    if (mode != kReadOnly) {
        (void)::fchmod(fd_, 0666);
    }
    return true;
}

void CStdFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

uint32_t CStdFile::Read(void* buffer, uint32_t count) {
    if (fd_ < 0) {
        return 0;
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, bytes + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<uint32_t>(n);
    }
    return done;
}

bool CStdFile::Write(const void* buffer, uint32_t count) {
    if (fd_ < 0) {
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, bytes + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<uint32_t>(n);
    }
    return true;
}

bool CStdFile::Seek(int64_t offset) {
    return fd_ >= 0 && offset >= 0 && ::lseek(fd_, offset, SEEK_SET) == offset;
}

bool CStdFile::SeekToEnd() {
    return fd_ >= 0 && ::lseek(fd_, 0, SEEK_END) >= 0;
}

int64_t CStdFile::GetPosition() const {
    if (fd_ < 0) {
        return 0;
    }
    off_t position = ::lseek(fd_, 0, SEEK_CUR);
    return position < 0 ? 0 : position;
}

bool CStdFile::GetPosistion(int64_t* position) const {
    if (position == nullptr || fd_ < 0) {
        return false;
    }
    *position = GetPosition();
    return true;
}

bool CStdFile::GetFileLength(int64_t* length) const {
    if (length == nullptr) {
        return false;
    }
    struct stat info {};
    int rc = fd_ >= 0 ? ::fstat(fd_, &info) : ::stat(path_.c_str(), &info);
    if (rc != 0) {
        return false;
    }
    *length = info.st_size;
    return true;
}
