#include "HFSPlusText.h"

#include <iconv.h>

#include <cstring>

#include "HFSPlusFormat.h"

namespace {

// 1601-01-01 to 1904-01-01 in 100-nanosecond units.
constexpr _FILETIME k1904On1601Scale = 95616288000000000ull;
constexpr size_t kMostUtf8Bytes = 1024;

}  // namespace

_FILETIME HFSPlusDateToFileTime(uint32_t seconds) {
    if (seconds == 0)
        return 0;
    return uint64_t{seconds} * 10000000ull + k1904On1601Scale;
}

std::string HFSPlusNameToUtf8(const uint16_t* units, uint16_t length) {
    if (units == nullptr)
        return {};
    if (length > kHFSMaxNameLength)
        length = kHFSMaxNameLength;
    uint16_t first = 0;
    while (first < length) {
        uint16_t unit;
        std::memcpy(&unit, units + first, sizeof(unit));
        if (unit != 0)
            break;
        ++first;
    }
    bool ascii = true;
    std::string name;
    name.reserve(length - first);
    for (uint16_t i = first; i < length && ascii; ++i) {
        uint16_t unit;
        std::memcpy(&unit, units + i, sizeof(unit));
        ascii = unit != 0 && unit < 0x80;
        name.push_back(static_cast<char>(unit));
    }
    if (ascii)
        return name;

    char source[2 * kHFSMaxNameLength];
    std::memcpy(source, units + first, 2u * (length - first));
    char output[kMostUtf8Bytes];
    iconv_t converter = iconv_open("UTF-8", "UTF-16LE");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return {};
    char* in = source;
    size_t inLeft = 2u * (length - first);
    char* out = output;
    size_t outLeft = sizeof(output);
    // A failed conversion keeps what was converted before it.
    iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    return std::string(output, static_cast<size_t>(out - output));
}
