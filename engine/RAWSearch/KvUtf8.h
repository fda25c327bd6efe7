#pragma once

#include <cstdint>
#include <string>

// UTF-8 text taken from file contents, turned into wide characters or into
// the process locale's multibyte encoding.

// Decodes into 32-bit units (characters above U+FFFF as a surrogate pair).
// Answers the units written, 0 on failure. An incomplete last sequence is
// dropped; a malformed sequence fails the whole text.
long UTF8ToUNICODE(const unsigned char* source, long sourceLength, wchar_t* units, long capacity);

// Converts into the locale's encoding, writing at most `capacity` bytes; the
// text is NUL-terminated when there is room for it. Answers the bytes written
// (without the NUL), 0 on failure: a malformed sequence or a character the
// encoding cannot express. An incomplete last sequence is dropped.
long UTF8ToANSI(const unsigned char* source, long sourceLength, char* destination, long capacity);

// The same into a string; empty on failure.
std::string UTF8ToANSI(const std::string& text);

// Converts between two encodings through iconv; false when iconv cannot open
// them or the bytes do not convert.
bool ConvertText(const char* from, const char* to, const uint8_t* bytes, size_t length,
                 std::string& out);

// The first `bytes` bytes of a UTF-8 text, not cutting a character in two.
std::string CutUtf8(const std::string& text, size_t bytes);
