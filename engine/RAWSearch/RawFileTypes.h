#pragma once

#include <cstdint>
#include <string>

// The carvable file types; the number indexes the extension table.
using RAW_FILE_TYPE = uint32_t;
constexpr RAW_FILE_TYPE kRawFileTypeCount = 147;
constexpr uint32_t kRawFileExtensionSlots = 2000;

// Kind of content tag a carved file carries.
enum RAW_FILE_TAG : int32_t {
    RAW_FILE_TAG_NONE = -1,
    RAW_FILE_TAG_ARTIST = 0,
    RAW_FILE_TAG_CAMERA = 1,
    RAW_FILE_TAG_OFFICE = 2,
    RAW_FILE_TAG_MOVIE = 3,
    RAW_FILE_TAG_PDF = 4,
    RAW_FILE_TAG_AI = 5,
};

// 2000 entries of up to eight characters and a NUL; entries past 146 are empty.
extern const char g_s_strFileExtName[kRawFileExtensionSlots][9];

// The safe form of a carved name or tag value: trailing blanks removed and each
// of 0x01 \ / : ? " < > | * CR LF replaced by "_".
std::string ApiStrFilterBadFileName(const std::string& text);

// True when the text holds a byte other than a-z, A-Z, 0-9, space, comma,
// hyphen, full stop, "@" and "_": such names and tag values are not used.
bool ApiIsInvalidCharInFileName(const std::string& text);
