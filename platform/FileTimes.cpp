#include "FileTimes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstdint>
#include <initializer_list>

namespace {

timespec ToTimespec(const FileTimeStamp& stamp) {
    if (!stamp.set)
        return timespec{0, UTIME_OMIT};
    return stamp.time;
}

// 100-ns units from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochIn1601Units = 116444736000000000LL;

}  // namespace

bool SetOpenFileTimes(int fd, const FileTimeStamp& access, const FileTimeStamp& modification) {
    const timespec times[2] = {ToTimespec(access), ToTimespec(modification)};
    return futimens(fd, times) == 0;
}

bool SetPathTimes(const char* path, const FileTimeStamp& access,
                  const FileTimeStamp& modification) {
    if (path == nullptr)
        return false;
    const timespec times[2] = {ToTimespec(access), ToTimespec(modification)};
    return utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool SetCreationTime(const char* path, const timespec& time) {
    if (path == nullptr)
        return false;
    // Both attributes take the little-endian count of 100-ns units since 1601.
    const int64_t units =
        kUnixEpochIn1601Units + int64_t{time.tv_sec} * 10000000 + int64_t{time.tv_nsec} / 100;
    uint8_t value[8];
    for (int i = 0; i < 8; ++i)
        value[i] = static_cast<uint8_t>(uint64_t(units) >> (8 * i));
    for (const char* name : {"system.ntfs_crtime", "user.cifs.creationtime"}) {
        if (lsetxattr(path, name, value, sizeof(value), XATTR_REPLACE) == 0)
            return true;
    }
    return false;
}
