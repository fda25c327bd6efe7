#pragma once

#include <functional>
#include <map>
#include <vector>

#include "EngineTypes.h"

class ICompleteFileSystemSearchController;
class IQuickFileSystemSearchController;

using QuickSearcherFactory = std::function<IQuickFileSystemSearchController*()>;
using CompleteSearcherFactory = std::function<ICompleteFileSystemSearchController*()>;

struct CompleteSearcherEntry {
    _tagSearcherType type;
    CompleteSearcherFactory create;
};

// The searchers the scan controllers can make: one quick searcher per volume
// file system, and the block searchers of a complete scan (offered every block
// in the order HFS+, exFAT, FAT, raw, NTFS, APFS whatever the order here).
struct SearcherFactories {
    std::map<enumFILE_SYSTEM_TYPE, QuickSearcherFactory> quick;
    std::vector<CompleteSearcherEntry> complete;
};

// The registered factories (each file system adds its lines where they are defined).
const SearcherFactories& RegisteredSearcherFactories();

// Replaces the registered factories for the life of the object (tests).
class ScopedSearcherFactories {
public:
    explicit ScopedSearcherFactories(SearcherFactories factories);
    ~ScopedSearcherFactories();
    ScopedSearcherFactories(const ScopedSearcherFactories&) = delete;
    ScopedSearcherFactories& operator=(const ScopedSearcherFactories&) = delete;

private:
    SearcherFactories previous_;
};

// Position of a searcher type in the block order; types not in it come last.
int CompleteSearcherRank(_tagSearcherType type);
