#include "FileTimeStamps.h"

#include <cstdint>

#include "FileNode.h"

namespace {

// 100-ns units from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochIn1601Units = 116444736000000000LL;
constexpr int64_t kUnitsPerSecond = 10000000;

}  // namespace

FileTimeStamp FileTimeToStamp(_FILETIME time) {
    if (time == 0 || time > static_cast<_FILETIME>(INT64_MAX))
        return FileTimeStamp{};
    const int64_t sinceEpoch = static_cast<int64_t>(time) - kUnixEpochIn1601Units;
    int64_t seconds = sinceEpoch / kUnitsPerSecond;
    int64_t rest = sinceEpoch % kUnitsPerSecond;
    if (rest < 0) {
        rest += kUnitsPerSecond;
        --seconds;
    }
    FileTimeStamp stamp;
    stamp.set = true;
    stamp.time.tv_sec = static_cast<time_t>(seconds);
    stamp.time.tv_nsec = static_cast<long>(rest * 100);
    return stamp;
}

void ApplyNodeTimes(const char* path, IFileNode* node) {
    const FileTimeStamp modification = FileTimeToStamp(node->GetModificationTime());
    const FileTimeStamp access = FileTimeToStamp(node->GetLastAccessTime());
    if (modification.set || access.set)
        SetPathTimes(path, access, modification);
    const FileTimeStamp creation = FileTimeToStamp(node->GetCreationTime());
    if (creation.set)
        SetCreationTime(path, creation.time);
}
