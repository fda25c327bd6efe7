#pragma once

#include <ctime>

// One time stamp of a file; a stamp that is not set leaves the file's own alone.
struct FileTimeStamp {
    bool set = false;
    timespec time{};  // since 1970-01-01 UTC
};

// Access and modification times of an open file (futimens).
bool SetOpenFileTimes(int fd, const FileTimeStamp& access, const FileTimeStamp& modification);

// Access and modification times of a file or folder by path (utimensat).
bool SetPathTimes(const char* path, const FileTimeStamp& access, const FileTimeStamp& modification);

// Creation time, where the file system of `path` can store one (NTFS through
// ntfs-3g, SMB shares); false when it cannot, and then nothing is changed.
bool SetCreationTime(const char* path, const timespec& time);
