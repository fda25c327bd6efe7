#pragma once

#include <cstdint>

// Times that nodes report: 100-nanosecond units since 1601-01-01 (UTC).
typedef uint64_t _FILETIME;

// Which searcher found a node.
enum _tagSearcherType : uint32_t {
    SEARCHER_HFSPLUS = 31,
    SEARCHER_FAT = 32,
    SEARCHER_EXFAT = 33,
    SEARCHER_RAW_BY_TYPE = 34,
    SEARCHER_NTFS = 35,
    SEARCHER_RAW_BY_TAG = 36,
    SEARCHER_APFS = 37,
    SEARCHER_NONE = 38,  // a node class that names no searcher
};

enum enumFILE_SYSTEM_TYPE : uint32_t {
    FILE_SYSTEM_FAT12 = 0,
    FILE_SYSTEM_FAT16 = 1,
    FILE_SYSTEM_FAT32 = 2,
    FILE_SYSTEM_NTFS = 3,
    FILE_SYSTEM_EXFAT = 7,
    FILE_SYSTEM_HFSPLUS = 8,
    FILE_SYSTEM_APFS = 9,
    FILE_SYSTEM_UNKNOWN = 10,
};

// Check mark of a node; "partly" only ever arises from the children.
enum _tagCheckedStatus : int {
    CHECK_STATUS_UNCHECKED = 0,
    CHECK_STATUS_PARTLY = 1,
    CHECK_STATUS_CHECKED = 2,
};
