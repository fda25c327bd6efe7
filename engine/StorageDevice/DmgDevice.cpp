#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "DeviceRead.h"
#include "ImageFileDevice.h"

namespace {
constexpr int64_t kSectorBytes = 512;
}

bool CDmgDevice::Open(char* path) {
    if (!CImageFileDevice::Open(path)) {
        return false;
    }
    struct stat info {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) ||
        ReadDmgLayout(fd_, info.st_size, layout_) != kDmgAccepted) {
        Close();
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultFailed);
        return false;
    }
    return true;
}

bool CDmgDevice::ReadSector(void* buffer, int64_t first, int64_t count) {
    if (!layout_.udif) {
        return CImageFileDevice::ReadSector(buffer, first, count);
    }
    // The record may come from a saved result: read only what both allow.
    const int64_t sectors = std::min(sectorCount_, layout_.sectorCount);
    if (buffer == nullptr || first < 0 || count <= 0 || first >= sectors ||
        count > sectors - first) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
        return false;
    }
    return ReadMappedSectors(static_cast<uint8_t*>(buffer), first, count);
}

// Walks the runs that cover the sectors: stored runs are read from the file,
// zero runs and sectors no table covers read as zeros.
bool CDmgDevice::ReadMappedSectors(uint8_t* buffer, int64_t first, int64_t count) {
    const auto& runs = layout_.runs;
    auto run =
        std::upper_bound(runs.begin(), runs.end(), first,
                         [](int64_t sector, const DmgRun& r) { return sector < r.firstSector; });
    if (run != runs.begin()) {
        --run;
    }
    const int64_t end = first + count;
    for (int64_t sector = first; sector < end;) {
        while (run != runs.end() && run->firstSector + run->sectorCount <= sector) {
            ++run;
        }
        uint8_t* out = buffer + (sector - first) * kSectorBytes;
        int64_t stop = end;
        if (run == runs.end() || run->firstSector > sector) {
            if (run != runs.end()) {
                stop = std::min(end, run->firstSector);
            }
            std::memset(out, 0, static_cast<size_t>((stop - sector) * kSectorBytes));
        } else {
            stop = std::min(end, run->firstSector + run->sectorCount);
            if (run->fileOffset < 0) {
                std::memset(out, 0, static_cast<size_t>((stop - sector) * kSectorBytes));
            } else {
                lastError_ = ReadDescriptorSectors(fd_, run->fileOffset, kSectorBytes, out,
                                                   sector - run->firstSector, stop - sector);
                if (!IsSuccess(lastError_)) {
                    return false;
                }
            }
        }
        sector = stop;
    }
    lastError_ = kResultSuccess;
    return true;
}
