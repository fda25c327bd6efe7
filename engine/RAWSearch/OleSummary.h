#pragma once

#include <cstdint>
#include <string>

#include "FileProperty.h"

// The 48-byte header of an OLE property set stream.
struct PropertySetStream {
    uint16_t byteOrder = 0;
    uint16_t version = 0;
    uint32_t systemId = 0;
    uint8_t classId[16] = {};
    uint32_t sectionCount = 0;
    uint8_t formatId[16] = {};
    uint32_t sectionOffset = 0;
};

// Reads the title, authors and times of an OLE compound file's
// SummaryInformation property set.
class CSummaryInFormation {
public:
    // True when at least one of title, author, last author, creation and
    // last saved time gave a text. Authors go to `creator` (who wrote it
    // first) and `author` (who saved it last).
    bool GetFileInformation(const uint8_t* stream, FileProperty& property, uint32_t length);

    // Whether the stream starts with a SummaryInformation set header.
    bool IsDocumentInformation(const uint8_t* stream, PropertySetStream& header) const;
    // The text of the property value at `offset` (empty for types without
    // one); a 16-bit integer goes to `codePage` instead.
    std::string GetDetailInformation(const uint8_t* stream, uint32_t offset, uint16_t& codePage);
    // A time text shaped for a file name: every ":" after the first
    // character becomes "-".
    static std::string FilterFileTime(std::string text);
    // Leading blanks removed and the text cut to at most 24 bytes.
    static std::string OperateString(std::string text);

private:
    uint32_t length_ = 0;
    uint32_t sectionSize_ = 0;
    uint32_t propertyCount_ = 0;
};
