#pragma once

#include <optional>
#include <string>

#include "RecoveryController.h"

struct ScanOptions {
    _RECOVERY_CONTROLLER_TYPE controller = RECOVERY_CONTROLLER_DELETED;
    bool all = false;  // existing files too, not only deleted ones
    unsigned int types = 127;
    int volume = 0;  // 1-based; 0 for the whole source
    std::string recoverTo;
    std::string source;
    bool verbose = false;  // the engine's diagnostic lines on standard error
    bool help = false;
};

// Reads the command line; on a mistake answers nothing and sets `error`.
// With -h or --help anywhere only `help` is set.
std::optional<ScanOptions> ParseScanOptions(int argc, char** argv, std::string& error);

// What harbex-scan answers, as its help lists them.
enum ScanExitStatus : int {
    kExitSuccess = 0,
    kExitBadArguments = 1,
    kExitCannotStart = 2,  // the source cannot be opened, or the output set up
    kExitScanFailed = 3,
    kExitNotAllRecovered = 4,  // with --recover: a listed file was not copied whole
};

// The one-line synopsis, and the help with one line per option.
extern const char* const kScanUsage;
extern const char* const kScanHelp;
