#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "AppWorkPath.h"
#include "EngineLog.h"
#include "EngineTime.h"
#include "Locks.h"
#include "LogFile.h"

namespace {

// Never destroyed: a thread may still log while the process's static objects go.
SimpleCs& LogLock() {
    static SimpleCs* const lock = new SimpleCs;
    return *lock;
}

}  // namespace

const char* CatchExeception::GetWorkPath() {
    static char folder[1024];
    static std::once_flag taken;
    std::call_once(taken, [] { std::snprintf(folder, sizeof(folder), "%s", GetAppWorkPath()); });
    return folder;
}

int CatchExeception::WriteLog(const char* format, ...) {
    _SYSTEMTIME now{};
    GetLocalTime(&now);
    // "HH:MM:SS " plus the message, cut to kMaxMessageLength.
    char line[16 + kMaxMessageLength + 1];
    const int prefix =
        std::snprintf(line, sizeof(line), "%02d:%02d:%02d ", now.wHour, now.wMinute, now.wSecond);
    int message = 0;
    if (format) {
        va_list arguments;
        va_start(arguments, format);
        message = std::vsnprintf(line + prefix, kMaxMessageLength + 1, format, arguments);
        va_end(arguments);
    }
    if (message < 0)
        message = 0;
    if (message > kMaxMessageLength)
        message = kMaxMessageLength;
    const int length = prefix + message;
    line[length] = '\0';

    SimpleLock hold(&LogLock(), "WriteLog");
    std::printf("%s", line);
    std::fflush(stdout);
    if (FILE* file = OpenLogFile(GetWorkPath())) {
        if (std::fwrite(line, 1, static_cast<size_t>(length), file) == 0 && length > 0)
            std::printf("%s failed with %s\n", "WriteLog", std::strerror(errno));
        std::fclose(file);
    }
    return length;
}
