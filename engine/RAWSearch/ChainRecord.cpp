#include "ChainRecord.h"

#include <algorithm>

#include "RawFileBuffer.h"

namespace {

// More structures than any sector can hold: a walk that steps this often in
// one call has stopped advancing.
constexpr int kMostStepsPerCall = 4096;

}  // namespace

int ChainRecord::CalcRawSize(unsigned char* sector, int sectorSize, long long sectorNumber,
                             SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0)
        return 1;
    const int64_t offset = OffsetOf(sectorNumber, sectorSize);
    if (offset > limit_)
        return 1;  // the device walk decides
    ChainWalk& walk = Walk();
    if (!begun_) {
        begun_ = true;
        if (!Begin(sector, sectorSize))
            return 1;
    }
    const int64_t windowBytes = (context.windowEnd - sectorNumber) * int64_t{sectorSize};
    for (int steps = 0; steps < kMostStepsPerCall; ++steps) {
        const int64_t at = walk.position - offset;
        if (at >= sectorSize || (at < 0 && !deferred_))
            return 2;
        if (at < -sectorSize)
            return 1;  // fell behind the bytes in memory
        deferred_ = false;
        switch (walk.StepAt(sector + at, windowBytes - at)) {
            case ChainWalk::Step::More:
                break;
            case ChainWalk::Step::Wait:
                deferred_ = true;
                return 2;
            case ChainWalk::Step::End:
                if (!walk.sized || walk.position <= 0)
                    return 1;
                if (endType_ != 0)
                    fileType = endType_;
                return Finish(walk.position, sectorNumber, nameSuffix);
        }
    }
    return 1;
}

bool WalkOnDevice(ChainWalk& walk, CRawFileInfo& info, IStorageDevice* device, int64_t cap,
                  int64_t maxSteps) {
    RawFileBuffer reader(device, static_cast<uint64_t>(info.startSector));
    const int64_t sectorSize = reader.GetSectorSize();
    const auto toEnd = static_cast<int64_t>(reader.GetBytesToDeviceEnd());
    for (int64_t steps = 0; steps < maxSteps && walk.position <= cap; ++steps) {
        const uint8_t* at = reader.GetRawFileBuffer(static_cast<uint64_t>(walk.position));
        if (at == nullptr)
            break;
        // A structure may run up to a sector past the byte asked for.
        const ChainWalk::Step step =
            walk.StepAt(at, std::min(sectorSize + 1, toEnd - walk.position));
        if (step == ChainWalk::Step::End) {
            if (!walk.sized)
                return false;
            break;
        }
        if (step == ChainWalk::Step::Wait)
            break;  // cut short by the device's end
    }
    // Ran out before the end it needs, or a length ran past the device.
    if (!walk.sized || walk.position > toEnd)
        return false;
    info.size = std::min(walk.position, cap);
    return info.size > 0;
}
