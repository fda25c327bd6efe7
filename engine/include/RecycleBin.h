#pragma once

#include <cstddef>
#include <cstdint>

#include "EngineTypes.h"

class CFileNode;
class IStorageDevice;

// Recognises Windows recycle bins and the files Windows moved into them:
// "$R..." holds a deleted file's data, "$I..." records the path it had.
class CRecyclerFilter {
public:
    // A folder named "Recycler", "Recycled", "$Recycle.Bin" or "$RECYCLE.BI0",
    // in any case.
    static bool IsRecycleBinSigleNode(CFileNode* node);
    // The node or one of its ancestors is a recycle-bin folder.
    static bool IsRecycleBin(CFileNode* node);
    // A recycle-bin info file: "$I..." or "#I...".
    static bool IsRecoverNode(CFileNode* node);
    // A recycled file: "$R..." or "#R...", except NTFS metadata names such as
    // "$Repair".
    static bool IsRecoverNodeEx(CFileNode* node);

    // UTF-16LE to UTF-8 through iconv; iconv's answer, -1 without a converter.
    static long UTF162UTF8(const char* input, size_t inputBytes, char* output, size_t outputBytes);
    // Names `node` after the last component of the drive-letter path its info
    // file records; the info file is read through its extents from a volume
    // whose clusters start at `start`. FAT, exFAT and NTFS nodes only.
    static void RestorFileName(IStorageDevice* device, CFileNode* node, CFileNode* info,
                               int64_t start, int sectorsPerCluster, _tagSearcherType type);
};
