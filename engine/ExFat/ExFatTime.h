#pragma once

#include <cstdint>

#include "EngineTypes.h"

// An exFAT time stamp (date in the high word, time in the low word, local
// time) on the 1601 scale; daylight saving as the local zone has it. The
// 10-ms increments and UTC offsets are not used.
_FILETIME DosTime2FileTime(uint32_t stamp);

// Day, month, hour, minute and second fields all within their ranges.
bool IsPlausibleExFatTime(uint32_t stamp);
