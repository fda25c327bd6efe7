#include "StreamingRecord.h"

#include <cstdio>

#include "SearchSignFileAnalyser.h"

int StreamingRecord::Finish(int64_t fileSize, long long sectorNumber, const char* suffix) {
    size = fileSize;
    char name[1024] = {};
    std::snprintf(name, sizeof(name), "%lld-%lld%s", static_cast<long long>(startSector),
                  sectorNumber, suffix);
    SetRawFileName(name);
    return 1;
}

int64_t FindBytes(const unsigned char* bytes, int64_t length, const void* pattern,
                  int64_t patternLength) {
    return Apimemstr(bytes, length, static_cast<const uint8_t*>(pattern), patternLength);
}

bool SameTextIgnoringCase(const unsigned char* at, const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        auto lower = [](unsigned char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
        };
        if (lower(at[i]) != lower(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}
