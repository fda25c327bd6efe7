#include "Base64.h"

#include <cstdint>

namespace {

int DigitValue(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

std::optional<std::vector<uint8_t>> DecodeBase64(std::string_view text) {
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    uint32_t group = 0;
    int digits = 0;
    int padding = 0;
    for (const char c : text) {
        if (IsSpace(c)) {
            continue;
        }
        if (c == '=') {
            ++padding;
            group <<= 6;
        } else {
            const int value = DigitValue(c);
            if (value < 0 || padding > 0) {
                return std::nullopt;
            }
            group = (group << 6) | static_cast<uint32_t>(value);
        }
        if (++digits == 4) {
            if (padding > 2) {
                return std::nullopt;
            }
            bytes.push_back(static_cast<uint8_t>(group >> 16));
            if (padding < 2)
                bytes.push_back(static_cast<uint8_t>(group >> 8));
            if (padding < 1)
                bytes.push_back(static_cast<uint8_t>(group));
            group = 0;
            digits = 0;
            if (padding > 0) {
                padding = 3;  // nothing may follow a padded group
            }
        }
    }
    if (digits != 0) {
        return std::nullopt;
    }
    return bytes;
}
