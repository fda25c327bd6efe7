#include "ExFatTime.h"

#include "DosDateTime.h"

_FILETIME DosTime2FileTime(uint32_t stamp) {
    _FILETIME time = 0;
    DosDateTimeToFileTime(static_cast<uint16_t>(stamp >> 16), static_cast<uint16_t>(stamp), &time);
    return time;
}

bool IsPlausibleExFatTime(uint32_t stamp) {
    const uint32_t seconds2 = stamp & 31;
    const uint32_t minutes = (stamp >> 5) & 63;
    const uint32_t hours = (stamp >> 11) & 31;
    const uint32_t day = (stamp >> 16) & 31;
    const uint32_t month = (stamp >> 21) & 15;
    return day != 0 && month >= 1 && month <= 12 && hours <= 23 && minutes <= 59 && seconds2 <= 29;
}
