#pragma once

#include "ResultCode.h"

// Prints "Return Error:0x<code>\tFile:<name>\tLine:<n>\tFuction:<function>" to
// standard output and answers the code unchanged.
RESULT_CODE FormatError(RESULT_CODE code, const char* file, long line, const char* function);

// A failure of the HFS+ module, printed where it arises.
#define HFS_FAILURE(kind) \
    FormatError(ENGINE_FAILURE(kModuleHFSPlus, (kind)), __FILE__, __LINE__, __func__)

// The same code without the print-out, for answers that are not faults.
#define HFS_QUIET_FAILURE(kind) ENGINE_FAILURE(kModuleHFSPlus, (kind))
