#include "DosDateTime.h"

#include <cstdlib>
#include <ctime>
#include <string>
#include <unordered_map>

namespace {

// mktime reads the zone's rules from the file system on every call, and a tree
// walk converts three stamps per entry; so the local start of each hour is
// kept per thread, for as long as TZ stays the same.
class LocalHourCache {
public:
    std::time_t StartOfHour(uint16_t date, uint16_t hour) {
        const char* zone = std::getenv("TZ");
        const std::string current = zone ? zone : "\n";  // unset differs from any value
        if (current != zone_) {
            zone_ = current;
            hours_.clear();
        }
        const uint32_t key = (uint32_t{date} << 5) | hour;
        const auto found = hours_.find(key);
        if (found != hours_.end()) {
            return found->second;
        }
        std::tm calendar{};
        calendar.tm_hour = hour;
        calendar.tm_mday = date & 31;
        calendar.tm_mon = ((date >> 5) & 15) - 1;
        calendar.tm_year = (date >> 9) + 80;
        calendar.tm_isdst = -1;  // daylight saving as the local zone has it
        const std::time_t start = std::mktime(&calendar);
        hours_.emplace(key, start);
        return start;
    }

private:
    std::string zone_ = "\n\n";
    std::unordered_map<uint32_t, std::time_t> hours_;
};

}  // namespace

bool DosDateTimeToFileTime(uint16_t date, uint16_t time, _FILETIME* fileTime) {
    if (date == 0) {
        *fileTime = 0;
        return true;
    }
    thread_local LocalHourCache cache;
    const std::time_t hour = cache.StartOfHour(date, static_cast<uint16_t>(time >> 11));
    const std::time_t seconds = hour + ((time >> 5) & 63) * 60 + (time & 31) * 2;
    SecondsSince1970ToFileTime(seconds < 0 ? 0 : static_cast<uint64_t>(seconds), fileTime);
    return true;
}

void SecondsSince1970ToFileTime(uint64_t seconds, _FILETIME* fileTime) {
    *fileTime = seconds * 10000000ull + 116444736000000000ull;
}
