#pragma once

#include <cstdint>
#include <string>

// UTF-16LE bytes to UTF-8; false when iconv cannot be opened or the bytes do
// not convert.
bool NTFSUtf16ToUtf8(const uint8_t* units, size_t bytes, std::string& out);
