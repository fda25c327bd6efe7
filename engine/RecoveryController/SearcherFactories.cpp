#include "SearcherFactories.h"

#include <algorithm>
#include <utility>

#include "APFS.h"
#include "ExFatCompleteSearch.h"
#include "ExFatQuickSearch.h"
#include "FATCompleteSearcher.h"
#include "FATQuickSearcher.h"
#include "FileSystemSearcher.h"
#include "HFSPlusCompleteSearcher.h"
#include "HFSPlusQuickSearcher.h"
#include "NTFSCompleteSearch.h"
#include "NTFSQuickSearch.h"
#include "RAWSearcher.h"

namespace {

SearcherFactories MakeRegisteredFactories() {
    SearcherFactories factories;
    // Quick searchers, by the file system volume recognition reports:
    // FAT12/16/32, NTFS, exFAT, HFS+. APFS has none.
    for (enumFILE_SYSTEM_TYPE fat : {FILE_SYSTEM_FAT12, FILE_SYSTEM_FAT16, FILE_SYSTEM_FAT32}) {
        factories.quick[fat] = [] { return CreateFATQuickSearcher(); };
    }
    factories.quick[FILE_SYSTEM_EXFAT] = [] { return CreateEXFatQuickSearcher(); };
    factories.quick[FILE_SYSTEM_NTFS] = [] { return CreateNTFSQuickSearcher(); };
    factories.quick[FILE_SYSTEM_HFSPLUS] = [] { return CreateHFSPlusQuickSearcher(); };
    factories.quick[FILE_SYSTEM_APFS] = [] { return CreateAPFSQuickSearcher(); };

    // Block searchers of the complete scan.
    factories.complete.push_back({SEARCHER_FAT, [] { return CreateFATSearcher(); }});
    factories.complete.push_back({SEARCHER_EXFAT, [] { return CreateEXFatSearcher(); }});
    factories.complete.push_back({SEARCHER_HFSPLUS, [] { return CreateHFSPlusSearcher(); }});
    factories.complete.push_back({SEARCHER_RAW_BY_TYPE, [] { return CreateRAWSearcher(); }});
    factories.complete.push_back({SEARCHER_NTFS, [] { return CreateNTFSSearcher(); }});
    factories.complete.push_back({SEARCHER_APFS, [] { return CreateAPFSDeepSearcher(); }});
    return factories;
}

SearcherFactories& Current() {
    static SearcherFactories factories = MakeRegisteredFactories();
    return factories;
}

}  // namespace

const SearcherFactories& RegisteredSearcherFactories() {
    return Current();
}

ScopedSearcherFactories::ScopedSearcherFactories(SearcherFactories factories)
    : previous_(std::exchange(Current(), std::move(factories))) {}

ScopedSearcherFactories::~ScopedSearcherFactories() {
    Current() = std::move(previous_);
}

int CompleteSearcherRank(_tagSearcherType type) {
    static constexpr _tagSearcherType kBlockOrder[] = {SEARCHER_HFSPLUS, SEARCHER_EXFAT,
                                                       SEARCHER_FAT,     SEARCHER_RAW_BY_TYPE,
                                                       SEARCHER_NTFS,    SEARCHER_APFS};
    const auto* found = std::find(std::begin(kBlockOrder), std::end(kBlockOrder), type);
    return static_cast<int>(found - std::begin(kBlockOrder));
}
