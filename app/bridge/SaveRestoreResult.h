#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <string>

#include "DeviceInfo.h"

class IProgress;
class IStorageDevice;
struct _DiskVolumeData;

// Saving the last scan's result to a file and loading one, each on a
// detached thread that reports to `progress` and ends with a finished record
// carrying the operation's error code (0 on success). Both answer 0 when the
// thread was started, -1 for a null path or sink, -2 when no thread could be
// started. A save while a scan runs answers -3 and reports that refusal.
int DoSaveScanResult(const char* path, IProgress* progress);
// `imagePath`, the image to scan when the result was made from an ozt image,
// may be null; it is copied. A result whose drive or image cannot be found
// loads all the same, its trees listed without it (KvUIScan::IsWithoutDevice).
int DoRestoreScanResult(const char* path, IProgress* progress, const char* imagePath);

namespace SaveRestoreResult {

enum SaveError : int {
    kSaveNoArchive = 1,
    kSaveNotOpened = 2,
    kSaveWriteFailed = 3,  // the file could not be written whole; it is removed
    kSaveScanRunning = 4,
    kSaveStopped = 5,
};

enum LoadError : int {
    kLoadNoArchive = 1,
    kLoadNotOpened = 2,
    kLoadBadHeader = 3,
    kLoadNoControllerList = 4,
    kLoadNoDiskDevice = 5,
    kLoadOztDeviceMissing = 6,
    kLoadDeviceMissing = 7,
    kLoadDamaged = 8,  // the saved trees are damaged: nothing of them is loaded
};

// The bodies of the two threads, on the calling thread; each answers its
// error code. A save needs the results held (KvUIScan::AcquireResults) and
// lets go of them at the end; a load needs the scan marked running.
int SaveScanResult(const char* path, IProgress* progress);
int RestoreScanResult(const char* path, IProgress* progress, const char* imagePath);

// What tells a real device from others of its size: its device number and
// kernel node when saved, where a volume starts, and its disk's model.
struct SavedIdentity {
    int32_t deviceNumber = 0;
    int64_t startSector = -1;
    std::string kernelName;
    std::string diskModel;
};

// The scanned device as a result file describes it.
struct SavedDevice {
    uint64_t capacity = 0;
    int32_t diskIndex = -1;
    int32_t volumeIndex = -1;
    int32_t fileSystem = -1;
    std::string name;
    bool dmg = false;
    std::optional<CDMGDeviceInfoStruct> dmgInfo;
    bool ozt = false;
    std::optional<COZTDeviceInfoStruct> oztInfo;
    // Absent from files written before devices were identified.
    std::optional<SavedIdentity> identity;
};

// The device that matches a saved description, or null: an ozt image from
// its block (at `imagePath` when given), an Apple disk image from its
// block, else the listed disk or volume MatchSavedDevice finds.
IStorageDevice* GetFromDiskVolumeData(const SavedDevice& saved, const char* imagePath,
                                      const char* archivePath);

// The record among `disks` (and their volumes) that is the saved device:
// with an identity, the one of the saved kind, size, place and disk model,
// and among several such the one with the saved device number and node;
// without one, the only one with the saved name, file system and size.
// Null when none is, or when it cannot be told from another.
const _DiskVolumeData* MatchSavedDevice(const SavedDevice& saved,
                                        const std::list<_DiskVolumeData>& disks);

}  // namespace SaveRestoreResult
