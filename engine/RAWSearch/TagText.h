#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Texts of audio tags: character-set detection, conversion to UTF-8 and the
// cleaning of what is not valid UTF-8.
namespace TagText {

// The character set libchardet names for `text` (up to its zero byte), or ""
// when it names none.
std::string decoding(const std::string& text);

// Converts `length` bytes from `charset` to UTF-8 into `out`, at most
// `capacity` bytes. False when the conversion fails or `charset` is empty;
// `out` then holds what was converted before the failure.
bool localdecoding(const std::string& charset, const uint8_t* in, size_t length, std::string& out,
                   size_t capacity);

// Little-endian UTF-16 (as written after the FF FE mark) to UTF-8; "" when it
// does not convert.
std::string UTF16BE2UTF8(const uint8_t* in, size_t length, size_t capacity);

// `length` bytes (up to a zero byte) unchanged when they are valid UTF-8;
// otherwise every byte with the top bit set becomes "_", and a text made
// only of such bytes becomes "".
std::string replaceChar(const char* text, size_t length);

// What a failed conversion leaves: its bytes below 0x80 kept, the others "_".
std::string KeepAscii(const std::string& partial);

}  // namespace TagText
