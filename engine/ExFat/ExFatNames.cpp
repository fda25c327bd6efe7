#include "ExFatNames.h"

#include <array>
#include <vector>

namespace {

constexpr std::array<uint8_t, 256> MakeNameTable() {
    std::array<uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = 1;
    for (int c = 0; c <= 0x19; ++c)
        table[c] = 0;
    for (char c : {'"', '*', '/', ':', '<', '>', '?', '\\', '|'})
        table[static_cast<uint8_t>(c)] = 0;
    table[0xFF] = 0;
    return table;
}

}  // namespace

const std::array<uint8_t, 256> g_u8FileNameCheckTable = MakeNameTable();

bool IsAllowedLabelCharacter(uint16_t character) {
    return character >= 256 || g_u8FileNameCheckTable[character] != 0;
}

bool IsAllowedNameCharacter(uint16_t character) {
    return character >= 0x80 || g_u8FileNameCheckTable[character] != 0;
}

CExFatNameConverter::CExFatNameConverter() : converter_(iconv_open("UTF-8", "UTF-16LE")) {}

CExFatNameConverter::~CExFatNameConverter() {
    if (converter_ != reinterpret_cast<iconv_t>(-1))
        iconv_close(converter_);
}

std::string CExFatNameConverter::ToUtf8(const uint8_t* units, size_t count) {
    size_t length = 0;
    while (length < count && (units[2 * length] | units[2 * length + 1]) != 0)
        ++length;
    std::string text;
    if (length == 0 || converter_ == reinterpret_cast<iconv_t>(-1))
        return text;
    iconv(converter_, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> out(length * 3 + 4);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(units));
    size_t inLeft = length * 2;
    char* outPtr = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(converter_, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
            break;
        // A lone surrogate or other unconvertible unit: mark it and go on.
        if (inLeft < 2 || outLeft < 1)
            break;
        *outPtr++ = '_';
        --outLeft;
        in += 2;
        inLeft -= 2;
        iconv(converter_, nullptr, nullptr, nullptr, nullptr);
    }
    text.assign(out.data(), static_cast<size_t>(outPtr - out.data()));
    return text;
}
