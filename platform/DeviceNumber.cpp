#include "DeviceNumber.h"

#include <charconv>

bool ParseDeviceNumber(std::string_view text, uint32_t& major, uint32_t& minor) {
    size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const char* begin = text.data();
    const char* end = begin + text.size();
    auto [afterMajor, e1] = std::from_chars(begin, begin + colon, major);
    auto [afterMinor, e2] = std::from_chars(begin + colon + 1, end, minor);
    return e1 == std::errc() && e2 == std::errc() && afterMajor == begin + colon &&
           afterMinor == end;
}
