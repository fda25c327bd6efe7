#pragma once

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

// "type<TAB>path<TAB>size<TAB>deleted<TAB>directory<TAB>modified<TAB>created".
std::string FormatFound(const FoundEntry& entry);

// A node time (100-ns units since 1601) as ISO 8601 UTC; "-" when unknown.
std::string FormatFileTime(_FILETIME time);

struct RecoveryCounts {
    int whole = 0;
    int partly = 0;
    int failed = 0;
};

// Copies every found file into `folder` under its tree path.
RecoveryCounts RecoverFound(IRecoveryController& controller, const std::vector<FoundEntry>& found,
                            const std::string& folder);
