#pragma once

#include <cstdint>
#include <string>

#include "FileProperty.h"

namespace BruteForce {

// Reads a PDF's document information keys (title, authors, producer and
// dates) from the bytes of the sectors the scan streams past.
class PdfTitleAnalyzer {
public:
    // True when author, creator, creation or modification date was found in
    // this sector (two sectors when the next one is buffered after it).
    bool ObtainPerSecPDFInformation(const uint8_t* bytes, int sectorSize, bool nextBuffered,
                                    FileProperty& property);
    // Reads the keys of one information dictionary's text.
    bool SeparateInformation(const char* text, int length, FileProperty& property);
    // The string value after a key: a literal "( )" string or a hexadecimal
    // "< >" one, found before the next "/" within 512 bytes; UTF-16BE values
    // (FE FF first) become UTF-8.
    static std::string ObtainPerInfo(const char* text, int length);
    // "D:YYYYMMDDHHmmSS..." as "YYYY-MM-DD HH-mm-SS"; "" for anything else.
    static std::string TimeChange(const std::string& date);
    // A title holding a digit is no title.
    static std::string RemoveIllegalTitle(const std::string& title);
    // At least two characters, each a digit, a letter, "_", blank, "(", "-" or ".".
    static bool JudeLegalInfo(const std::string& value);
    // Whether a sample of the sector's bytes looks like text.
    static bool RemoveNolessVec(const uint8_t* bytes, int length);
    // The first occurrence of `key` within `length` bytes; false when none.
    static bool myStrstr(const char* text, int length, const char* key, int& found);

private:
    int windowLength_ = 0;
};

}  // namespace BruteForce
