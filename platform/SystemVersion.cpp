#include "SystemVersion.h"

#include <sys/utsname.h>

#include <charconv>

bool ParseSystemVersion(std::string_view release, SystemVersion& version) {
    uint32_t parts[3] = {0, 0, 0};
    const char* at = release.data();
    const char* end = release.data() + release.size();
    for (int i = 0; i < 3; ++i) {
        const auto [next, error] = std::from_chars(at, end, parts[i]);
        if (error != std::errc()) {
            if (i == 0)
                return false;
            break;
        }
        at = next;
        if (at == end || *at != '.')
            break;
        ++at;
    }
    version = {parts[0], parts[1], parts[2]};
    return true;
}

bool ReadSystemVersion(SystemVersion& version) {
    utsname name{};
    return uname(&name) == 0 && ParseSystemVersion(name.release, version);
}
