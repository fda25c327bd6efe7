// The document type of a compound file, from the names of its first
// directory entries.

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "FileOLEAnalyser.h"

namespace {

constexpr uint64_t kEntryBytes = 128;
constexpr uint64_t kNameBytes = 64;

class Directory {
public:
    Directory(const uint8_t* bytes, uint64_t length) : bytes_(bytes), length_(length) {}

    uint64_t Entries() const { return length_ / kEntryBytes; }

    // Whether entry `index`'s name starts with `name` (ASCII), unit by unit.
    bool Is(uint64_t index, const char* name) const {
        if (index >= Entries())
            return false;
        const uint8_t* entry = bytes_ + index * kEntryBytes;
        const size_t count = std::strlen(name);
        if (count * 2 > kNameBytes)
            return false;
        for (size_t i = 0; i < count; ++i) {
            if (ReadLE16(entry + 2 * i) != static_cast<unsigned char>(name[i]))
                return false;
        }
        return true;
    }
    bool AnyIs(const char* name) const {
        for (uint64_t i = 0; i < Entries(); ++i) {
            if (Is(i, name))
                return true;
        }
        return false;
    }
    bool RootHasClass() const {
        if (Entries() == 0)
            return false;
        for (uint64_t i = 80; i < 96; ++i) {
            if (bytes_[i] != 0)
                return true;
        }
        return false;
    }

private:
    const uint8_t* bytes_;
    uint64_t length_;
};

}  // namespace

void FileOLEAnalyser::CheckSectDirData(const uint8_t* directory, uint64_t length,
                                       CRawFileInfo& info) {
    if (directory == nullptr)
        return;
    const Directory d(directory, std::min<uint64_t>(length, 8 * kEntryBytes));
    RAW_FILE_TYPE type = kMof;
    if (d.AnyIs("WordDocument") || d.AnyIs("ObjectPool"))
        type = 23;  // DOC
    if (d.Is(1, "Workbook") || d.Is(2, "Workbook") || d.Is(1, "Book") || d.Is(2, "Book"))
        type = 71;  // XLS
    // Writers order the entries differently, so the main stream is looked
    // for among all of them, as the Word one is.
    if (d.AnyIs("PowerPoint Document") || d.Is(1, "Pictures") || d.Is(1, "PP40"))
        type = 52;  // PPT
    if (d.Is(1, "Scene") || d.Is(2, "Scene"))
        type = 37;  // MAX
    if (d.Is(1, "VisioDocument"))
        type = 66;  // VSD
    if (d.Is(1, "PerfectOffice_MAIN") && d.Is(2, "PerfectOffice_OBJECTS")) {
        if (d.Is(3, "\x05SummaryInformation"))
            type = 61;  // SHW
        else
            type = d.RootHasClass() ? 68 : 69;  // WPD, WPG
    }
    if (d.Is(1, "RSeStorage") && (d.Is(2, "RSeEmbeddings") || d.Is(3, "RSeEmbeddings")))
        type = 140;  // IPT
    if (d.Is(1, "Objects") && d.Is(2, "Quill") && (d.Is(3, "Escher") || d.Is(3, "QuillSub")))
        type = 53;  // PUB
    if (d.Is(1, "NativeContent_MAIN"))
        type = 57;  // QPW
    if (d.Is(1, "properties"))
        type = 141;  // AAF
    if (d.Is(1,
             "\x01"
             "CompObj") &&
        ((d.Is(2, "   19") && d.Is(3, "   29")) || (d.Is(2, "   112") && d.Is(3, "   212"))))
        type = 47;  // MPP
    if ((d.Is(1, "PropData") && d.Is(2, "Forms") && d.Is(3, "Reports")) ||
        (d.Is(1, "VBA") && d.Is(2, "VBAProject") && d.Is(3, "VBA")))
        type = 3;  // ADP
    info.fileType = type;
}
