#include "DestinationFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

DestinationFile::~DestinationFile() {
    if (fd_ >= 0)
        close(fd_);
}

void DestinationFile::Fail(const std::string& text) {
    if (error_.empty())
        error_ = text;
}

void DestinationFile::FailWithErrno(int code) {
    Fail(std::strerror(code));
}

bool DestinationFile::Create(const char* path) {
    path_ = path;
    do {
        fd_ = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) {
        FailWithErrno(errno);
        return false;
    }
    struct stat status {};
    regular_ = fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
    return true;
}

bool DestinationFile::WriteAt(const char* data, size_t length, int64_t offset) {
    while (length > 0) {
        const ssize_t written = pwrite(fd_, data, length, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0) {
            FailWithErrno(errno);
            return false;
        }
        if (written == 0) {
            Fail("the destination took no more bytes");
            return false;
        }
        data += written;
        length -= static_cast<size_t>(written);
        offset += written;
    }
    return true;
}

bool DestinationFile::Finish(int64_t length) {
    bool ok = true;
    if (ftruncate(fd_, length) != 0) {
        FailWithErrno(errno);
        ok = false;
    }
    // The close is where some file systems first report that data did not fit.
    if (close(fd_) != 0) {
        FailWithErrno(errno);
        ok = false;
    }
    fd_ = -1;
    return ok;
}

void DestinationFile::Discard() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (regular_)
        unlink(path_.c_str());
    regular_ = false;
}
