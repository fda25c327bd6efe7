#pragma once

#include <cstdint>

#include "EngineTypes.h"

// A DOS date and time word pair, read as the machine's local time, on the
// 1601 scale. A date word of 0 means "not recorded" and gives time 0.
bool DosDateTimeToFileTime(uint16_t date, uint16_t time, _FILETIME* fileTime);

void SecondsSince1970ToFileTime(uint64_t seconds, _FILETIME* fileTime);
