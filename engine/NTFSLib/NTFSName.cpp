#include "NTFSName.h"

#include <iconv.h>

#include <vector>

namespace {
const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);
}  // namespace

NTFSNameConverter::~NTFSNameConverter() {
    if (opened_ && static_cast<iconv_t>(descriptor_) != kNoDescriptor) {
        iconv_close(static_cast<iconv_t>(descriptor_));
    }
}

bool NTFSNameConverter::Convert(const uint8_t* units, size_t bytes, std::string& out) {
    out.clear();
    if (bytes == 0) {
        return true;
    }
    if (!opened_) {
        descriptor_ = iconv_open("UTF-8", "UTF-16LE");
        opened_ = true;
    }
    const iconv_t cd = static_cast<iconv_t>(descriptor_);
    if (cd == kNoDescriptor) {
        return false;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh shift state
    // One UTF-16 unit becomes at most three UTF-8 bytes.
    char converted[255 * 3 + 4];
    std::vector<char> large;
    char* target = converted;
    size_t capacity = sizeof(converted);
    if (bytes / 2 * 3 + 4 > capacity) {
        large.resize(bytes / 2 * 3 + 4);
        target = large.data();
        capacity = large.size();
    }
    char* in = const_cast<char*>(reinterpret_cast<const char*>(units));
    size_t inLeft = bytes;
    char* outPtr = target;
    size_t outLeft = capacity;
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        return false;
    }
    out.assign(target, outPtr);
    return true;
}

bool NTFSUtf16ToUtf8(const uint8_t* units, size_t bytes, std::string& out) {
    NTFSNameConverter converter;
    return converter.Convert(units, bytes, out);
}
