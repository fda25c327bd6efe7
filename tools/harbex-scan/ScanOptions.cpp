#include "ScanOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

const char* const kScanUsage =
    "usage: harbex-scan [--quick|--complete|--partition] [--all] [--types MASK] "
    "[--volume N] [--recover DIR] [--verbose] SOURCE";

const char* const kScanHelp =
    "Finds deleted (and with --all existing) files on a disk, partition or image file\n"
    "and lists them on standard output, one per line: searcher type, path, size,\n"
    "deleted (1/0), folder (1/0), modified and created time. SOURCE is only read.\n"
    "\n"
    "  --quick         read the volume's own file system (the default)\n"
    "  --complete      search the whole device sector by sector, for lost volumes too\n"
    "  --partition     as --complete, reporting the volumes found\n"
    "  --all, --deep   list existing files too (default: deleted files only)\n"
    "  --types MASK    file categories to list, added up: 1 documents, 2 pictures,\n"
    "                  4 movies, 8 music, 16 archives, 32 e-mail, 64 others\n"
    "                  (default: 127, all)\n"
    "  --volume N      scan the N-th volume of SOURCE's partition table, from 1\n"
    "                  (default: SOURCE as a whole)\n"
    "  --recover DIR   copy the listed files into DIR (default: list only)\n"
    "  --verbose       print the engine's diagnostic lines on standard error\n"
    "                  (default: they go to the engine log only)\n"
    "  -h, --help      print this help and exit\n"
    "\n"
    "With --recover the summary says how many files were copied whole, partly\n"
    "(parts unreadable on SOURCE are left as zeros) and not at all, then gives\n"
    "each reason once with the number of files it hit. A file not copied at\n"
    "all leaves nothing behind in DIR.\n"
    "\n"
    "Exit status:\n"
    "  0  done; with --recover every listed file was copied whole\n"
    "  1  the command line is wrong\n"
    "  2  SOURCE cannot be opened\n"
    "  3  the scan failed\n"
    "  4  with --recover, some listed file was copied only partly or not at all\n";

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
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            ScanOptions help;
            help.help = true;
            return help;
        }
    }
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
        } else if (arg == "--all" || arg == "--deep") {
            options.all = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
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
