#pragma once

#include <cstdint>
#include <string>

// Converts names from UTF-16LE to UTF-8 through one iconv descriptor, opened
// when first needed and closed with the object; a scan keeps one for all its names.
class NTFSNameConverter {
public:
    NTFSNameConverter() = default;
    ~NTFSNameConverter();
    NTFSNameConverter(const NTFSNameConverter&) = delete;
    NTFSNameConverter& operator=(const NTFSNameConverter&) = delete;

    // False when iconv cannot be opened or the bytes do not convert.
    bool Convert(const uint8_t* units, size_t bytes, std::string& out);

private:
    void* descriptor_ = nullptr;  // iconv_t
    bool opened_ = false;
};

// The same with a descriptor of its own.
bool NTFSUtf16ToUtf8(const uint8_t* units, size_t bytes, std::string& out);
