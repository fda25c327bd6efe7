#pragma once

#include <map>
#include <string>
#include <vector>

#include "EngineTypes.h"

class IFileNode;
class IRecoveryController;

// One found file or folder with where it lies in its result tree.
struct FoundEntry {
    IFileNode* node;
    _tagSearcherType type;          // the type of its tree's top folder
    std::vector<std::string> path;  // names from the top folder down
};

// The shown nodes of a scan, each once, ordered by searcher type and path.
std::vector<FoundEntry> ListFound(const std::vector<IFileNode*>& nodes);

// Leaves the deleted files and the folders on their paths; answers how many
// existing files it took out.
int KeepDeletedOnly(std::vector<FoundEntry>& found);

// What a listing holds; each deleted count counts among its own kind.
struct FoundCounts {
    int files = 0;
    int deletedFiles = 0;
    int folders = 0;
    int deletedFolders = 0;
};
FoundCounts CountFound(const std::vector<FoundEntry>& found);

// "18 files (17 deleted) and 5 folders (1 deleted)".
std::string FormatCounts(const FoundCounts& counts);

// "type<TAB>path<TAB>size<TAB>deleted<TAB>directory<TAB>modified<TAB>created".
std::string FormatFound(const FoundEntry& entry);

// A node time (100-ns units since 1601) as ISO 8601 UTC; "-" when unknown.
std::string FormatFileTime(_FILETIME time);

struct RecoveryCounts {
    int whole = 0;
    int partly = 0;
    int failed = 0;
    // How many files each reason hit, for the files copied in part and for
    // those not copied at all.
    std::map<std::string, int> partlyReasons;
    std::map<std::string, int> failedReasons;
};

// "24 files not written: No space left on device", one line per reason.
std::vector<std::string> FormatReasons(const RecoveryCounts& counts);

// Copies every found file into `folder` under its tree path.
RecoveryCounts RecoverFound(IRecoveryController& controller, const std::vector<FoundEntry>& found,
                            const std::string& folder);
