#include "PdfTitleAnalyzer.h"

#include <algorithm>
#include <cstring>

#include "KvUtf8.h"
#include "RawFileTypes.h"

namespace BruteForce {

namespace {

constexpr int kValueReach = 512;
constexpr size_t kValueChars = 25;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int HexValue(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The bytes of a hexadecimal string whose digits start at `text`, up to ">".
// False when it is not closed within `length`.
bool HexBytes(const char* text, int length, std::string& bytes) {
    int high = -1;
    for (int i = 0; i < length; ++i) {
        if (text[i] == '>') {
            if (high >= 0)
                bytes.push_back(static_cast<char>(high << 4));
            return true;
        }
        const int digit = HexValue(text[i]);
        if (digit < 0)
            continue;  // white space between digits
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<char>(high << 4 | digit));
            high = -1;
        }
    }
    return false;
}

// A value's bytes as UTF-8 text.
std::string DecodeValue(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFE &&
        static_cast<uint8_t>(bytes[1]) == 0xFF) {
        std::string text;
        const size_t units = (bytes.size() - 2) / 2 * 2;
        if (!ConvertText("UTF-16BE", "UTF-8", reinterpret_cast<const uint8_t*>(bytes.data()) + 2,
                         units, text))
            return std::string();
        return text.substr(0, text.find('\0'));
    }
    return bytes.substr(0, bytes.find('\0'));
}

// Where the name "/key" first occurs as a whole name (not the end of a
// longer one such as "/DisplayDocTitle"), at the key's first letter.
bool FindName(const char* text, int length, const char* key, int& found) {
    const int keyLength = static_cast<int>(std::strlen(key));
    int from = 0;
    int at = 0;
    while (from < length && PdfTitleAnalyzer::myStrstr(text + from, length - from, key, at)) {
        at += from;
        const int after = at + keyLength;
        if (at > 0 && text[at - 1] == '/' &&
            (after >= length || !(IsLetter(text[after]) || IsDigit(text[after])))) {
            found = at;
            return true;
        }
        from = at + 1;
    }
    return false;
}

}  // namespace

bool PdfTitleAnalyzer::myStrstr(const char* text, int length, const char* key, int& found) {
    const int keyLength = static_cast<int>(std::strlen(key));
    for (int at = 0; at + keyLength <= length; ++at) {
        if (text[at] == key[0] &&
            std::memcmp(text + at, key, static_cast<size_t>(keyLength)) == 0) {
            found = at;
            return true;
        }
    }
    return false;
}

bool PdfTitleAnalyzer::RemoveNolessVec(const uint8_t* bytes, int length) {
    const int quarter = length / 4;
    if (quarter < 1)
        return false;
    for (const int at : {0, quarter - 1, 2 * quarter - 1, 3 * quarter - 1}) {
        const uint8_t c = bytes[std::max(at, 0)];
        if ((c >= '1' && c <= '9') || IsLetter(static_cast<char>(c)) || c == 0 || c == 0xFE ||
            c == 0xFF || std::strchr("\r ()-./:<>", c) != nullptr)
            return true;
    }
    return false;
}

std::string PdfTitleAnalyzer::ObtainPerInfo(const char* text, int length) {
    const int reach = std::min(length, kValueReach);
    for (int i = 0; i < reach; ++i) {
        if (text[i] == '/')
            return std::string();
        if (text[i] == '(') {
            for (int k = i + 1; k < reach; ++k) {
                if (text[k] == '/')
                    return std::string();
                if (text[k] == ')')
                    return DecodeValue(std::string(text + i + 1, static_cast<size_t>(k - i - 1)));
            }
            return std::string();
        }
        if (text[i] == '<' && i + 1 < reach && text[i + 1] != '<') {
            std::string bytes;
            if (!HexBytes(text + i + 1, reach - i - 1, bytes))
                return std::string();
            return DecodeValue(bytes);
        }
    }
    return std::string();
}

std::string PdfTitleAnalyzer::TimeChange(const std::string& date) {
    if (date.size() < 17)
        return std::string();
    for (size_t i = 2; i < 16; ++i) {
        if (!IsDigit(date[i]))
            return std::string();
    }
    return date.substr(2, 4) + "-" + date.substr(6, 2) + "-" + date.substr(8, 2) + " " +
           date.substr(10, 2) + "-" + date.substr(12, 2) + "-" + date.substr(14, 2);
}

std::string PdfTitleAnalyzer::RemoveIllegalTitle(const std::string& title) {
    return std::any_of(title.begin(), title.end(), IsDigit) ? std::string() : title;
}

bool PdfTitleAnalyzer::JudeLegalInfo(const std::string& value) {
    if (value.size() < 2)
        return false;
    return std::all_of(value.begin(), value.end(), [](char c) {
        return IsDigit(c) || IsLetter(c) || std::strchr("_ (-.", c) != nullptr;
    });
}

bool PdfTitleAnalyzer::SeparateInformation(const char* text, int length, FileProperty& property) {
    struct Key {
        const char* name;
        std::string FileProperty::*field;
        bool date;
    };
    static constexpr Key kKeys[] = {
        {"Author", &FileProperty::author, false},       {"Creator", &FileProperty::creator, false},
        {"CreationDate", &FileProperty::created, true}, {"ModDate", &FileProperty::modified, true},
        {"Producer", &FileProperty::producer, false},   {"Title", &FileProperty::title, false},
    };
    int at[6];
    bool present[6];
    for (size_t k = 0; k < 6; ++k)
        present[k] = FindName(text, length, kKeys[k].name, at[k]);
    if (!present[0] && !present[1] && !(present[2] && present[3]))
        return false;
    for (size_t k = 0; k < 6; ++k) {
        if (!present[k])
            continue;
        const int from = at[k] + static_cast<int>(std::strlen(kKeys[k].name));
        std::string value = CutUtf8(ObtainPerInfo(text + from, length - from), kValueChars);
        if (kKeys[k].date) {
            value = TimeChange(value);
        } else {
            value = ApiStrFilterBadFileName(value);
            if (!JudeLegalInfo(value))
                value.clear();
            if (kKeys[k].field == &FileProperty::title)
                value = RemoveIllegalTitle(value);
        }
        property.*kKeys[k].field = value;
    }
    return !property.creator.empty() || !property.created.empty() || !property.author.empty() ||
           !property.modified.empty();
}

bool PdfTitleAnalyzer::ObtainPerSecPDFInformation(const uint8_t* bytes, int sectorSize,
                                                  bool nextBuffered, FileProperty& property) {
    if (bytes == nullptr || sectorSize <= 0 || !RemoveNolessVec(bytes, sectorSize))
        return false;
    const char* text = reinterpret_cast<const char*>(bytes);
    int object = 0;
    if (!myStrstr(text, sectorSize, "obj", object))
        return false;
    const int available = nextBuffered ? 2 * sectorSize : sectorSize;
    windowLength_ = std::min(available - object, nextBuffered ? 2 * sectorSize : sectorSize);
    return SeparateInformation(text + object, windowLength_, property);
}

}  // namespace BruteForce
