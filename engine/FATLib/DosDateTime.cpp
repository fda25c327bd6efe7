#include "DosDateTime.h"

#include <ctime>

bool DosDateTimeToFileTime(uint16_t date, uint16_t time, _FILETIME* fileTime) {
    if (date == 0) {
        *fileTime = 0;
        return true;
    }
    std::tm calendar{};
    calendar.tm_sec = (time & 31) * 2;
    calendar.tm_min = (time >> 5) & 63;
    calendar.tm_hour = time >> 11;
    calendar.tm_mday = date & 31;
    calendar.tm_mon = ((date >> 5) & 15) - 1;
    calendar.tm_year = (date >> 9) + 80;
    calendar.tm_isdst = -1;  // daylight saving as the local zone has it
    const std::time_t seconds = std::mktime(&calendar);
    SecondsSince1970ToFileTime(seconds < 0 ? 0 : static_cast<uint64_t>(seconds), fileTime);
    return true;
}

void SecondsSince1970ToFileTime(uint64_t seconds, _FILETIME* fileTime) {
    *fileTime = seconds * 10000000ull + 116444736000000000ull;
}
