#include "NTFSName.h"

#include <iconv.h>

#include <vector>

bool NTFSUtf16ToUtf8(const uint8_t* units, size_t bytes, std::string& out) {
    out.clear();
    if (bytes == 0) {
        return true;
    }
    iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    // One UTF-16 unit becomes at most three UTF-8 bytes.
    std::vector<char> converted(bytes / 2 * 3 + 4);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(units));
    size_t inLeft = bytes;
    char* outPtr = converted.data();
    size_t outLeft = converted.size();
    const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1)) {
        return false;
    }
    out.assign(converted.data(), outPtr);
    return true;
}
