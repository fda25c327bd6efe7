#pragma once

// What a folder must offer before the checked files are recovered into it:
// it is writable, it does not lie on the scanned device (a warning the user
// may override), and it has more free bytes than the files plus 5 per cent.

#include <QString>

#include <cstdint>
#include <functional>

namespace RecoveryChecks {

enum class Outcome { kNotWritable, kSameDevice, kNoSpace, kPass };

// The files' bytes plus 5 per cent, rounded down.
uint64_t NeededBytes(uint64_t selectedBytes);

// The questions asked of the system; tests answer them instead.
struct Environment {
    std::function<bool(const QString& folder)> writable;
    std::function<bool(const QString& folder)> onScannedDevice;
    // Free bytes for the user; 0 when they cannot be read.
    std::function<int64_t(const QString& folder)> freeBytes;
};

// Write permission, the facade's device test and the file system's free space.
Environment SystemEnvironment();

Outcome Check(const QString& folder, uint64_t selectedBytes, const Environment& environment);
// The free-space test alone.
bool HasRoomFor(int64_t freeBytes, uint64_t selectedBytes);

}  // namespace RecoveryChecks
