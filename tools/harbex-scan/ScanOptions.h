#pragma once

#include <optional>
#include <string>

#include "RecoveryController.h"

struct ScanOptions {
    _RECOVERY_CONTROLLER_TYPE controller = RECOVERY_CONTROLLER_DELETED;
    bool deep = false;
    unsigned int types = 127;
    int volume = 0;  // 1-based; 0 for the whole source
    std::string recoverTo;
    std::string source;
};

// Reads the command line; on a mistake answers nothing and sets `error`.
std::optional<ScanOptions> ParseScanOptions(int argc, char** argv, std::string& error);

extern const char* const kScanUsage;
