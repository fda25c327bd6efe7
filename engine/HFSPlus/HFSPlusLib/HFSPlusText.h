#pragma once

#include <cstdint>
#include <string>

#include "EngineTypes.h"

// HFS+ dates count seconds since 1904-01-01; 0 means no date.
_FILETIME HFSPlusDateToFileTime(uint32_t seconds);

// A host-order UTF-16 name as UTF-8, leading NULs skipped (private system
// names start with them). At most 255 units are read; a unit that cannot be
// converted ends the name there.
std::string HFSPlusNameToUtf8(const uint16_t* units, uint16_t length);
