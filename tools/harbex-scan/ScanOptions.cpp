#include "ScanOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char* const kScanUsage =
    "usage: harbex-scan [--quick|--complete|--partition] [--deep] [--types MASK] "
    "[--volume N] [--recover DIR] SOURCE";

namespace {

bool ParseNumber(const char* text, long low, long high, long& value) {
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 0);
    return errno == 0 && *end == '\0' && value >= low && value <= high;
}

}  // namespace

std::optional<ScanOptions> ParseScanOptions(int argc, char** argv, std::string& error) {
    ScanOptions options;
    bool kindGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        long value = 0;
        if (arg == "--quick" || arg == "--complete" || arg == "--partition") {
            if (kindGiven) {
                error = "give only one of --quick, --complete and --partition";
                return std::nullopt;
            }
            kindGiven = true;
            options.controller = arg == "--quick"      ? RECOVERY_CONTROLLER_DELETED
                                 : arg == "--complete" ? RECOVERY_CONTROLLER_COMPLETE
                                                       : RECOVERY_CONTROLLER_PARTITION;
        } else if (arg == "--deep") {
            options.deep = true;
        } else if (arg == "--types") {
            if (!ParseNumber(next, 1, 127, value)) {
                error = "--types wants a category mask from 1 to 127";
                return std::nullopt;
            }
            options.types = static_cast<unsigned int>(value);
            ++i;
        } else if (arg == "--volume") {
            if (!ParseNumber(next, 1, 0xFFFF, value)) {
                error = "--volume wants a volume number from 1";
                return std::nullopt;
            }
            options.volume = static_cast<int>(value);
            ++i;
        } else if (arg == "--recover") {
            if (next == nullptr || *next == '\0') {
                error = "--recover wants a destination folder";
                return std::nullopt;
            }
            options.recoverTo = next;
            ++i;
        } else if (arg.rfind("--", 0) == 0 || !options.source.empty()) {
            error = "unexpected argument " + arg;
            return std::nullopt;
        } else {
            options.source = arg;
        }
    }
    if (options.source.empty()) {
        error = "no SOURCE given";
        return std::nullopt;
    }
    return options;
}
