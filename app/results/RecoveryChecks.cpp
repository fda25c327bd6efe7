#include "RecoveryChecks.h"

#include <QFile>
#include <QStorageInfo>

#include <algorithm>

#include <unistd.h>

#include "KvUIFacade.h"

namespace RecoveryChecks {

uint64_t NeededBytes(uint64_t selectedBytes) {
    // selected x 105 / 100 without overflowing for sizes near the top of the range.
    return selectedBytes / 100 * 105 + selectedBytes % 100 * 105 / 100;
}

bool HasRoomFor(int64_t freeBytes, uint64_t selectedBytes) {
    return freeBytes > 0 && static_cast<uint64_t>(freeBytes) > NeededBytes(selectedBytes);
}

Environment SystemEnvironment() {
    Environment environment;
    environment.writable = [](const QString& folder) {
        return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
    };
    environment.onScannedDevice = [](const QString& folder) {
        return KvUIFacade::current().IsRecoveryToSameDevice(folder);
    };
    environment.freeBytes = [](const QString& folder) -> int64_t {
        const QStorageInfo storage(folder);
        if (!storage.isValid() || !storage.isReady())
            return 0;
        return std::max<int64_t>(storage.bytesAvailable(), 0);
    };
    return environment;
}

Outcome Check(const QString& folder, uint64_t selectedBytes, const Environment& environment) {
    if (!environment.writable(folder))
        return Outcome::kNotWritable;
    if (environment.onScannedDevice(folder))
        return Outcome::kSameDevice;
    if (!HasRoomFor(environment.freeBytes(folder), selectedBytes))
        return Outcome::kNoSpace;
    return Outcome::kPass;
}

}  // namespace RecoveryChecks
