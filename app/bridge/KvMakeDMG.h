#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "DeviceInfo.h"

class IStorageDevice;

// How far a copy is: the first sector of the chunk just written, or the
// total at the end, when `error` tells how it ended.
struct KvMakeDMGProgress {
    uint64_t total = 0;
    uint64_t current = 0;
    int error = 0;
};

// Told on the main thread of each written chunk and of the end.
class KvMakeDMGDelegate {
public:
    virtual ~KvMakeDMGDelegate() = default;
    virtual void KvGetPrecent(const KvMakeDMGProgress* progress) = 0;
};

// Copies a whole disk, volume or image of the device list, sector by
// sector, into an image file: a raw image (the sectors only) or an ozt
// image (tag, information block, sectors from a sector-aligned offset), on
// a worker thread that can be paused and stopped. One copy at a time.
class KvMakeDMG {
public:
    enum Result : int {
        kOk = 0,
        kBadArgument = -2,  // no such device, or an argument missing
        kNoBuffer = -3,
        kStopped = -4,
        kBusy = -5,  // a copy is running
        kReadFailed = -101,
        kCannotCreate = -102,  // also for a path longer than the block holds
        kWriteFailed = -103,
        kNoGeometry = -104,  // no sector size (or 0), sector count or name
    };
    enum State : int { kRunning = 0, kPaused = 1, kStopRequested = 2 };
    static constexpr uint32_t kChunkSectors = 8192;

    static KvMakeDMG* KvShareInstance();
    ~KvMakeDMG();

    // Starts copying the device at these indexes into `imagePath`; `raw`
    // for a raw image. Failures before the copy starts leave no file.
    int KvStart(const char* imagePath, int disk, int volume, bool raw);
    // 1 pauses, 0 resumes, 2 stops at the next chunk (the partial file is removed).
    int KvSetState(int state);
    void SetDelegate(KvMakeDMGDelegate* delegate);
    // Waits for the running copy's worker to end.
    void Wait();

    // The information block of `device` (sector size, count, name, time),
    // with `imagePath` and the data offset of the kind of image asked for;
    // false when the device gives no usable geometry.
    static bool KvGetOztInfo(IStorageDevice* device, const char* imagePath, bool raw,
                             COZTDeviceInfoStruct& info);
    // The 8-byte tag, the block and the zero padding up to the data offset.
    static std::string OztHeader(const COZTDeviceInfoStruct& info);

private:
    KvMakeDMG() = default;
    void Copy(IStorageDevice* device, int fd, COZTDeviceInfoStruct info, bool raw,
              std::string path);
    int CopySectors(IStorageDevice* device, int fd, const COZTDeviceInfoStruct& info,
                    uint64_t first);
    void KvUpdatePrgoress(uint64_t total, uint64_t current, int error);

    std::mutex lock_;  // guards the worker and the delegate
    std::thread worker_;
    std::atomic<int> state_{kRunning};
    std::atomic<bool> running_{false};
    KvMakeDMGDelegate* delegate_ = nullptr;
};
