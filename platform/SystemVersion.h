#pragma once

// The running system's version as major, minor and patch numbers, read from
// the kernel release ("6.1.0-13-amd64" gives 6, 1, 0).

#include <cstdint>
#include <string_view>

struct SystemVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;
};

// False, with the fields untouched, when the text does not start with a number.
bool ParseSystemVersion(std::string_view release, SystemVersion& version);
bool ReadSystemVersion(SystemVersion& version);
