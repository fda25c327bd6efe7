#include "KvMakeDMG.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>

#include "AsyncRead.h"
#include "KvNotificationCenter.h"
#include "KvUIDeviceData.h"
#include "StorageDevice.h"

namespace {

constexpr char kTag[4] = {'o', 'z', 't', '\0'};
constexpr uint32_t kHeaderBytes = 8 + sizeof(COZTDeviceInfoStruct);
constexpr auto kPausePoll = std::chrono::milliseconds(100);

void PutLE(std::string& bytes, size_t offset, uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

// Writes all `count` bytes at `offset`, going on after short writes.
bool WriteAll(int fd, const void* data, size_t count, off_t offset) {
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t n = ::pwrite(fd, bytes, count, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        count -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

}  // namespace

KvMakeDMG* KvMakeDMG::KvShareInstance() {
    static KvMakeDMG maker;
    return &maker;
}

KvMakeDMG::~KvMakeDMG() {
    state_ = kStopRequested;
    Wait();
}

void KvMakeDMG::Wait() {
    std::thread worker;
    {
        std::lock_guard hold(lock_);
        worker.swap(worker_);
    }
    if (worker.joinable())
        worker.join();
}

void KvMakeDMG::SetDelegate(KvMakeDMGDelegate* delegate) {
    std::lock_guard hold(lock_);
    delegate_ = delegate;
}

int KvMakeDMG::KvSetState(int state) {
    state_ = state;
    return 0;
}

bool KvMakeDMG::KvGetOztInfo(IStorageDevice* device, const char* imagePath, bool raw,
                             COZTDeviceInfoStruct& info) {
    info = COZTDeviceInfoStruct{};
    info.timeStamp = static_cast<uint64_t>(time(nullptr));
    if (device == nullptr)
        return false;
    const uint32_t sectorSize = device->GetSectorSize();
    const int64_t sectors = device->GetTotalSectors();
    if (sectorSize == 0 || sectors <= 0)
        return false;
    _DiskVolumeData data;
    if (!KvUIDeviceData::instance()->GetDataByStorage(device, data) || data.name == nullptr)
        return false;
    info.sectorSize = sectorSize;
    info.sectorCount = sectors;
    info.dataOffset = raw ? 0 : static_cast<int64_t>((kHeaderBytes / sectorSize + 1) * sectorSize);
    std::strncpy(info.deviceName, data.name, sizeof info.deviceName - 1);
    if (imagePath != nullptr)
        std::strncpy(info.imagePath, imagePath, sizeof info.imagePath - 1);
    return true;
}

std::string KvMakeDMG::OztHeader(const COZTDeviceInfoStruct& info) {
    std::string bytes(static_cast<size_t>(std::max<int64_t>(info.dataOffset, kHeaderBytes)), '\0');
    std::memcpy(bytes.data(), kTag, sizeof kTag);
    PutLE(bytes, 4, sizeof(COZTDeviceInfoStruct), 4);
    PutLE(bytes, 8, info.sectorSize, 4);
    PutLE(bytes, 12, info.sectorSizeHigh, 4);
    PutLE(bytes, 16, static_cast<uint64_t>(info.sectorCount), 8);
    PutLE(bytes, 24, static_cast<uint64_t>(info.dataOffset), 8);
    PutLE(bytes, 32, static_cast<uint64_t>(info.imageFileLength), 8);
    std::memcpy(&bytes[40], info.deviceName, sizeof info.deviceName);
    std::memcpy(&bytes[168], info.imagePath, sizeof info.imagePath);
    PutLE(bytes, 8 + 1184, info.timeStamp, 8);
    return bytes;
}

int KvMakeDMG::KvStart(const char* imagePath, int disk, int volume, bool raw) {
    if (imagePath == nullptr || *imagePath == '\0')
        return kBadArgument;
    if (std::strlen(imagePath) >= sizeof(COZTDeviceInfoStruct::imagePath))
        return kCannotCreate;
    IStorageDevice* device = KvUIDeviceData::instance()->GetStorageByDiskVolumeIndex(disk, volume);
    if (device == nullptr)
        return kBadArgument;
    COZTDeviceInfoStruct info;
    if (!KvGetOztInfo(device, imagePath, raw, info))
        return kNoGeometry;

    std::lock_guard hold(lock_);
    if (running_)
        return kBusy;
    if (worker_.joinable())
        worker_.join();
    const int fd = ::open(imagePath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return kCannotCreate;
    state_ = kRunning;
    running_ = true;
    worker_ = std::thread(&KvMakeDMG::Copy, this, device, fd, info, raw, std::string(imagePath));
    return kOk;
}

int KvMakeDMG::CopySectors(IStorageDevice* device, int fd, const COZTDeviceInfoStruct& info,
                           uint64_t first) {
    const uint64_t total = static_cast<uint64_t>(info.sectorCount);
    const size_t chunkBytes = size_t{info.sectorSize} * kChunkSectors;
    std::unique_ptr<void, void (*)(void*)> buffer(AllocateReadBuffer(chunkBytes), FreeReadBuffer);
    if (!buffer)
        return kNoBuffer;
    for (uint64_t sector = first; sector < total; sector += kChunkSectors) {
        while (state_ == kPaused)
            std::this_thread::sleep_for(kPausePoll);
        if (state_ == kStopRequested)
            return kStopped;
        // The last chunk reads only what the device still has.
        const uint64_t count = std::min<uint64_t>(kChunkSectors, total - sector);
        if (!device->ReadSector(buffer.get(), static_cast<int64_t>(sector),
                                static_cast<int64_t>(count)))
            return kReadFailed;
        const off_t offset = static_cast<off_t>(info.dataOffset + sector * info.sectorSize);
        if (!WriteAll(fd, buffer.get(), count * info.sectorSize, offset))
            return kWriteFailed;
        KvUpdatePrgoress(total, sector, kOk);
    }
    return kOk;
}

void KvMakeDMG::Copy(IStorageDevice* device, int fd, COZTDeviceInfoStruct info, bool raw,
                     std::string path) {
    int error = kOk;
    if (!raw) {
        const std::string header = OztHeader(info);
        if (!WriteAll(fd, header.data(), header.size(), 0))
            error = kWriteFailed;
    }
    if (error == kOk)
        error = CopySectors(device, fd, info, 0);
    if (error == kOk && !raw) {
        // The finished length goes into the block, which the image reader checks.
        info.imageFileLength =
            info.dataOffset + info.sectorCount * static_cast<int64_t>(info.sectorSize);
        const std::string header = OztHeader(info);
        if (!WriteAll(fd, header.data(), kHeaderBytes, 0))
            error = kWriteFailed;
    }
    if (::close(fd) != 0 && error == kOk)
        error = kWriteFailed;
    if (error != kOk)
        ::unlink(path.c_str());
    KvUpdatePrgoress(static_cast<uint64_t>(info.sectorCount),
                     static_cast<uint64_t>(info.sectorCount), error);
    // Last: a new copy may start (and join this thread) from here on.
    running_ = false;
}

void KvMakeDMG::KvUpdatePrgoress(uint64_t total, uint64_t current, int error) {
    KvMakeDMGDelegate* delegate = nullptr;
    {
        std::lock_guard hold(lock_);
        delegate = delegate_;
    }
    if (delegate == nullptr)
        return;
    const KvMakeDMGProgress progress{total, current, error};
    KvNotificationCenter::defaultCenter()->enqueue(
        [delegate, progress] { delegate->KvGetPrecent(&progress); });
}
