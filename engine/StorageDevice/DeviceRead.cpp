#include "DeviceRead.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "AsyncRead.h"
#include "BlockDevice.h"
#include "ImageSectorSize.h"
#include "StorageDevice.h"

bool CopyPathField(char* field, size_t size, const char* path) {
    const size_t length = strnlen(path, size);
    if (length >= size) {
        return false;
    }
    std::memcpy(field, path, length + 1);
    return true;
}

RESULT_CODE OpenNode(const char* path, OpenedNode& node, bool& permissionDenied) {
    permissionDenied = false;
    const int fd = OpenBlockDeviceReadOnly(path);
    if (fd < 0) {
        const int error = errno;
        std::printf("open failed:%d,%s\n", error, std::strerror(error));
        permissionDenied = IsPermissionError(error);
        return ENGINE_FAILURE(kModuleStorageDevice, kResultFailed);
    }
    BlockDeviceGeometry geometry;
    if (!QueryBlockDeviceGeometry(fd, geometry)) {
        close(fd);
        return ENGINE_FAILURE(kModuleStorageDevice, kResultFailed);
    }
    // An image file takes the sector size of the disk or volume it holds.
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        geometry.sectorSize = ImageFileSectorSize(fd);
    }
    if (!IsValidSectorSize(geometry.sectorSize)) {
        close(fd);
        return ENGINE_FAILURE(kModuleStorageDevice, kResultNotSupported);
    }
    node.fd = fd;
    node.sectorSize = geometry.sectorSize;
    node.sectorCount = static_cast<int64_t>(geometry.sizeBytes / geometry.sectorSize);
    return kResultSuccess;
}

RESULT_CODE ReadDescriptorSectors(int fd, int64_t base, uint32_t sectorSize, void* buffer,
                                  int64_t first, int64_t count) {
    int64_t offset = 0;
    int64_t length = 0;
    if (buffer == nullptr || first < 0 || count <= 0 || base < 0 ||
        __builtin_mul_overflow(first, static_cast<int64_t>(sectorSize), &offset) ||
        __builtin_add_overflow(offset, base, &offset) ||
        __builtin_mul_overflow(count, static_cast<int64_t>(sectorSize), &length)) {
        return ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
    }
    AsyncReadStatus status = AsyncReadStatus::kFailed;
    if (KvReadAsyncData(buffer, fd, offset, length, &status) == length) {
        return kResultSuccess;
    }
    return status == AsyncReadStatus::kShort
               ? ENGINE_FAILURE(kModuleStorageDevice, kResultShortRead)
               : ENGINE_FAILURE(kModuleStorageDevice, kResultFailed);
}

bool IsUsableGeometry(uint64_t sectorSize, int64_t sectorCount) {
    return IsValidSectorSize(sectorSize) && sectorCount >= 0;
}
