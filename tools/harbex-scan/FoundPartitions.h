#pragma once

#include <set>
#include <string>
#include <vector>

#include "EngineTypes.h"

class CSearchedPartitionInfo;
class IRecoveryController;

// "FAT32", "NTFS" ... for an enumFILE_SYSTEM_TYPE; "unknown" when unrecognised.
std::string FileSystemName(uint32_t type);

// "partition<TAB>searcher type<TAB>index<TAB>file system<TAB>start sector<TAB>
// sector count<TAB>sector size<TAB>sectors per cluster<TAB>first data sector<TAB>
// integer score<TAB>score".
std::string FormatPartition(_tagSearcherType type, const CSearchedPartitionInfo& partition);

// One line per partition that the searchers of `types` found, in index order
// within each type; a type whose copy-out object cannot be had gives none.
std::vector<std::string> ListPartitions(const IRecoveryController& controller,
                                        const std::set<_tagSearcherType>& types);
