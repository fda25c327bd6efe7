#include <ctime>

#include "EngineTime.h"

uint32_t GetLocalTime(_SYSTEMTIME* time) {
    if (!time)
        return 0xFFFFFFFF;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<uint16_t>(local.tm_year + 1900);
    time->wMonth = static_cast<uint16_t>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<uint16_t>(local.tm_wday);
    time->wDay = static_cast<uint16_t>(local.tm_mday);
    time->wHour = static_cast<uint16_t>(local.tm_hour);
    time->wMinute = static_cast<uint16_t>(local.tm_min);
    time->wSecond = static_cast<uint16_t>(local.tm_sec);
    time->wMilliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
    return 0;
}

uint32_t GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    return static_cast<uint32_t>(ms);
}
