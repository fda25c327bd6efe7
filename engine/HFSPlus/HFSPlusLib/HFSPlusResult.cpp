#include "HFSPlusResult.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

RESULT_CODE FormatError(RESULT_CODE code, const char* file, long line, const char* function) {
    const char* name = file != nullptr ? file : "";
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '/' || *p == '\\')
            name = p + 1;
    }
    std::printf("Return Error:0x%" PRIX64 "\tFile:%s\tLine:%ld\tFuction:%s\n", code, name, line,
                function != nullptr ? function : "");
    return code;
}
