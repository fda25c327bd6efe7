#include "FATFileProperties.h"

#include <cassert>
#include <cstring>

#include "DataRunList.h"
#include "DosDateTime.h"
#include "FATDirEntry.h"
#include "LittleEndian.h"

CFATFileProperties::~CFATFileProperties() {
    delete[] record_.name;
    if (record_.dataRunList) {
        record_.dataRunList->Release();
    }
}

void CFATFileProperties::SetFileName(const char* name) {
    delete[] record_.name;
    record_.name = nullptr;
    record_.nameLength = 0;
    if (!name) {
        return;
    }
    const size_t length = std::strlen(name);
    record_.name = new char[length + 1];
    std::memcpy(record_.name, name, length + 1);
    record_.nameLength = static_cast<uint16_t>(length);
}

IFileProperties* CFATFileProperties::Clone() {
    auto* copy = new CFATFileProperties();
    *copy = *this;
    copy->record_.metadataSector = record_.metadataSector;
    return copy;
}

CFATFileProperties& CFATFileProperties::operator=(const CFATFileProperties& other) {
    if (this == &other) {
        return *this;
    }
    SetFileName(other.record_.name);
    record_.state = other.record_.state;
    record_.attribute = other.record_.attribute;
    record_.firstCluster = other.record_.firstCluster;
    record_.parentFirstCluster = other.record_.parentFirstCluster;
    record_.creationTime = other.record_.creationTime;
    record_.modificationTime = other.record_.modificationTime;
    record_.lastAccessTime = other.record_.lastAccessTime;
    record_.size = other.record_.size;
    return *this;
}

void CFATFileProperties::SetCreationTime(uint16_t date, uint16_t time) {
    DosDateTimeToFileTime(date, time, &record_.creationTime);
}

void CFATFileProperties::SetModificationTime(uint16_t date, uint16_t time) {
    DosDateTimeToFileTime(date, time, &record_.modificationTime);
}

void CFATFileProperties::SetLastAccessTime(uint16_t date) {
    DosDateTimeToFileTime(date, 0, &record_.lastAccessTime);
}

void CFATFileProperties::SetDataRunList(IDataRunList* list) {
    if (record_.dataRunList && record_.dataRunList != list) {
        record_.dataRunList->Release();
    }
    record_.dataRunList = list;
}

CFATFileProperties* CFATFilePropertiesBuilder::BuildFATFilePropertyFromDirEntryBuffer(
    const uint8_t* entries, uint32_t length) {
    constexpr size_t kNameBuffer = 2048;
    std::string gathered;
    bool hasLongName = false;
    char piece[kNameBuffer];
    for (uint32_t offset = 0; offset + kFATDirEntrySize <= length; offset += kFATDirEntrySize) {
        CTempFATDirEntry entry(const_cast<uint8_t*>(entries + offset));
        if (entry.IsLongFileNameEntry()) {
            entry.GetLongFileName(piece, sizeof(piece));
            const size_t pieceLength = std::strlen(piece);
            // A short piece is the last part of a name: one gathered so far
            // belonged to another file.
            if (pieceLength < 13 && !gathered.empty()) {
                gathered.clear();
            }
            if (gathered.size() + pieceLength >= kNameBuffer - 1) {
                return nullptr;
            }
            gathered.insert(0, piece);  // pieces lie last part first
            hasLongName = true;
            continue;
        }
        if (hasLongName && CTempFATDirEntry::IsValidLongFileName(gathered.c_str())) {
            return BuildFATFilePropertyFromDirEntry(gathered.c_str(), entry.GetEntry());
        }
        char shortName[kFATShortNameBufferSize] = {};
        entry.GetShortName(shortName, 0);
        return BuildFATFilePropertyFromDirEntry(shortName, entry.GetEntry());
    }
    return nullptr;
}

CFATFileProperties* CFATFilePropertiesBuilder::BuildFATFilePropertyFromDirEntry(
    const char* name, const tagFATDIRENTRY* entry) {
    assert(name != nullptr && "pszFileName != NULL");
    if (!entry) {
        return nullptr;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(entry);
    auto* properties = CFATFileProperties::Create();
    properties->SetFileName(name);
    properties->SetFileSize(ReadLE32(bytes + 28));
    properties->SetAttribute(bytes[11]);
    properties->SetCreationTime(ReadLE16(bytes + 16), ReadLE16(bytes + 14));
    properties->SetModificationTime(ReadLE16(bytes + 24), ReadLE16(bytes + 22));
    properties->SetLastAccessTime(ReadLE16(bytes + 18));
    properties->SetState(bytes[0] == kFATErasedMark ? kFATStateDeleted : 0);
    return properties;
}
