// harbex-scan: runs one scan of a device or image and lists what it finds.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "FileTypeLists.h"
#include "FoundFiles.h"
#include "FoundPartitions.h"
#include "RecoveryController.h"
#include "RecoveryFilter.h"
#include "ScanOptions.h"
#include "ScanSinks.h"
#include "ScanSource.h"
#include "StorageDevice.h"

namespace {

// Bytes this process has read so far, from the kernel's account.
uint64_t BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return 0;
}

std::string Describe(RESULT_CODE code) {
    switch (ResultKindOf(code)) {
        case kResultFileSystemNotSupported:
            return "no searcher for this volume's file system";
        case kResultNoSearcher:
            return "no searcher available for this device";
        case kResultQuickScanOfWholeDisk:
            return "a quick scan needs a volume, not a whole disk (use --volume N)";
        default: {
            char text[64];
            std::snprintf(text, sizeof(text), "scan failed with code 0x%llx",
                          static_cast<unsigned long long>(code));
            return text;
        }
    }
}

struct ControllerDeleter {
    void operator()(IRecoveryController* controller) const { controller->Release(); }
};

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const std::optional<ScanOptions> options = ParseScanOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "harbex-scan: %s\n%s\n", error.c_str(), kScanUsage);
        return kExitBadArguments;
    }
    if (options->help) {
        std::printf("%s\n\n%s", kScanUsage, kScanHelp);
        return kExitSuccess;
    }
    // The engine writes its log lines to standard output; keep them off the
    // listing: on standard error with --verbose, else only in the engine log.
    std::FILE* listing = fdopen(dup(STDOUT_FILENO), "w");
    const int engineOutput =
        options->verbose ? STDERR_FILENO : open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (listing == nullptr || engineOutput < 0 || dup2(engineOutput, STDOUT_FILENO) < 0) {
        std::fprintf(stderr, "harbex-scan: cannot set up the output: %s\n", std::strerror(errno));
        return kExitCannotStart;
    }
    // Whole engine lines, so they never split a line of ours on standard error.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    std::unique_ptr<ScanSource> source = OpenScanSource(*options, error);
    if (!source) {
        std::fprintf(stderr, "harbex-scan: %s\n", error.c_str());
        return kExitCannotStart;
    }

    SetFileTypeLists();
    IRecoveryFilter* filter = CreateFilter();
    filter->SetFilterTypes(options->types);
    // The trees keep existing files too: without --all the listing leaves
    // them out and says how many it left out.
    filter->SetScanType(SCAN_TYPE_DEEP);
    // No results window waits for the trees, so the builder need not pause.
    std::unique_ptr<IRecoveryController, ControllerDeleter> controller(
        CreateRecoveryController(options->controller, std::chrono::milliseconds::zero()));
    controller->Initialize(filter);

    CollectingTree tree;
    ConsoleProgress progress;
    const uint64_t readBefore = BytesRead();
    const auto started = std::chrono::steady_clock::now();
    const RESULT_CODE result = controller->StartDataRecovery(source->device(), &progress, &tree);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double megabytes = double(BytesRead() - readBefore) / 1e6;
    progress.Close();

    std::vector<FoundEntry> found = ListFound(tree.nodes());
    const int existingHidden = options->all ? 0 : KeepDeletedOnly(found);
    for (const FoundEntry& entry : found)
        std::fprintf(listing, "%s\n", FormatFound(entry).c_str());
    std::fclose(listing);

    const bool nothingToSearchWith = ResultKindOf(result) == kResultFileSystemNotSupported ||
                                     ResultKindOf(result) == kResultNoSearcher;
    if (IsFailure(result)) {
        std::fprintf(stderr, "harbex-scan: %s\n", Describe(result).c_str());
        if (!nothingToSearchWith)
            return kExitScanFailed;
        if (options->controller == RECOVERY_CONTROLLER_DELETED) {
            std::fprintf(stderr,
                         "harbex-scan: a complete scan (--complete) searches the whole device "
                         "for lost volumes too\n");
        }
    }
    for (const std::string& line : ListPartitions(*controller, tree.treeTypes()))
        std::fprintf(stderr, "%s\n", line.c_str());
    if (found.empty())
        std::fprintf(stderr, "harbex-scan: %s\n",
                     existingHidden > 0 ? "no deleted files found" : "nothing found");
    if (existingHidden > 0) {
        std::fprintf(stderr, "harbex-scan: %d existing %s not listed; add --all to list %s too\n",
                     existingHidden, existingHidden == 1 ? "file" : "files",
                     existingHidden == 1 ? "it" : "them");
    }
    std::fprintf(stderr, "found %s in %.2f s, %.2f MB read, %.1f MB/s\n",
                 FormatCounts(CountFound(found)).c_str(), seconds, megabytes,
                 seconds > 0 ? megabytes / seconds : 0.0);

    if (!options->recoverTo.empty()) {
        const RecoveryCounts counts = RecoverFound(*controller, found, options->recoverTo);
        std::fprintf(stderr, "recovered %d whole, %d partly, %d not at all\n", counts.whole,
                     counts.partly, counts.failed);
        for (const std::string& line : FormatReasons(counts))
            std::fprintf(stderr, "%s\n", line.c_str());
        if (counts.partly > 0 || counts.failed > 0)
            return kExitNotAllRecovered;
    }
    return kExitSuccess;
}
