#pragma once

#include <cstdint>

// Calendar time, local zone.
struct _SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;      // 1-12
    uint16_t wDayOfWeek;  // 0 is Sunday
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

// Fills `time` from the local time; 0, or 0xFFFFFFFF for a null record.
uint32_t GetLocalTime(_SYSTEMTIME* time);

// Milliseconds since 1970, truncated to 32 bits.
uint32_t GetTickCount();
