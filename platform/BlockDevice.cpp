#include "BlockDevice.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cerrno>

int OpenBlockDeviceReadOnly(const char* path) {
    if (path == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return open(path, O_RDONLY | O_CLOEXEC);
}

bool QueryBlockDeviceGeometry(int fd, BlockDeviceGeometry& geometry) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        geometry.sectorSize = 512;
        geometry.sizeBytes = static_cast<uint64_t>(info.st_size);
        return true;
    }
    if (!S_ISBLK(info.st_mode)) {
        return false;
    }
    int sectorSize = 0;
    geometry.sectorSize =
        ioctl(fd, BLKSSZGET, &sectorSize) == 0 && sectorSize > 0 ? sectorSize : 512;
    uint64_t size = 0;
    geometry.sizeBytes = ioctl(fd, BLKGETSIZE64, &size) == 0 ? size : 0;
    return true;
}

bool IsPermissionError(int error) {
    return error == EACCES || error == EPERM;
}
