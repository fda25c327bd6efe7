#pragma once

#include <cstdint>
#include <string>

// What the names of a ZIP file's members say about the kind of file it is.

// The first local header looks like an Office Open XML package's.
bool IsOfficeZipHeader(const uint8_t* header, uint64_t available);
// The first member's name is one an iOS application archive starts with.
bool IsAppArchiveMember(const std::string& name);

// Types the file from a local header's member name and the bytes after the
// name; `type` keeps its value when the name says nothing. Answers whether
// the member holds an Office document's core properties.
bool TypeFromLocalMember(const std::string& name, const uint8_t* afterName, uint64_t available,
                         bool office, uint32_t& type);
void TypeFromCentralMember(const std::string& name, bool office, uint32_t& type);
