#pragma once

#include <cstdint>
#include <string>

#include "FileProperty.h"

namespace Zorado {

// Reads the core properties (title, authors, times) of an Office Open XML
// document from its "docProps/core.xml" member while the scan streams past.
// It keeps no state: where a member must be read again is the caller's.
class OfficeTagFromXML {
public:
    static constexpr uint32_t kLargestMember = 10240;

    enum Result { kRead, kFailed, kNeedMore };

    // `header` is the member's local header, `available` the bytes readable
    // from it; `complete` says no more bytes will follow them.
    static Result GetOfficeTagFromXML(const uint8_t* header, uint64_t available, bool complete,
                                      FileProperty& property);

    // Fills the fields the XML text names; fields it lacks stay untouched.
    static void AnalyzeTag(const char* text, FileProperty& property);

    // A time text shaped for a file name: after the first character letters
    // become blanks and ":" becomes "-".
    static std::string FilterFileTime(std::string time);
};

}  // namespace Zorado
