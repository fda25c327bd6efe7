#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include <iconv.h>

// 1 for each character value below 256 that may stand in a name or label.
extern const std::array<uint8_t, 256> g_u8FileNameCheckTable;

// Name checks of directory entries: the label check looks every character
// below 256 up by its value; the name check only refuses the ASCII characters
// the table forbids, so no letter of another script is ever refused.
bool IsAllowedLabelCharacter(uint16_t character);
bool IsAllowedNameCharacter(uint16_t character);

// Converts UTF-16LE name characters to UTF-8 with iconv; one converter per
// object, kept open for its life.
class CExFatNameConverter {
public:
    CExFatNameConverter();
    ~CExFatNameConverter();
    CExFatNameConverter(const CExFatNameConverter&) = delete;
    CExFatNameConverter& operator=(const CExFatNameConverter&) = delete;

    // The text of `count` characters at `units` (little-endian), ending at the
    // first NUL; characters that cannot be converted become '_'.
    std::string ToUtf8(const uint8_t* units, size_t count);

private:
    iconv_t converter_;
};
