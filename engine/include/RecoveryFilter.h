#pragma once

#include <cstdint>

#include "FileNode.h"

// Category of a file by its extension.
enum FILE_TYPE_ID : int {
    FILE_TYPE_DOCUMENT = 2,
    FILE_TYPE_PICTURE = 3,
    FILE_TYPE_MUSIC = 4,
    FILE_TYPE_MOVIE = 5,
    FILE_TYPE_ARCHIVE = 6,
    FILE_TYPE_EMAIL = 7,
    FILE_TYPE_OTHER = 8,
};

// Category mask bits (note: not in FILE_TYPE_ID order).
enum FILE_TYPE_MASK : unsigned int {
    FILE_MASK_DOCUMENT = 1,
    FILE_MASK_PICTURE = 2,
    FILE_MASK_MOVIE = 4,
    FILE_MASK_MUSIC = 8,
    FILE_MASK_ARCHIVE = 16,
    FILE_MASK_EMAIL = 32,
    FILE_MASK_OTHER = 64,
    FILE_MASK_ALL = 127,
};

// 0 lists deleted files only; any other value lists existing files too.
enum _SCAN_TYPE : uint32_t {
    SCAN_TYPE_DELETED_ONLY = 0,
    SCAN_TYPE_DEEP = 1,
};

// Decides which found nodes are listed: folders always, files by category.
class IRecoveryFilter {
public:
    virtual ~IRecoveryFilter() = default;
    virtual bool ShowNormalFiles() const = 0;
    virtual void SetScanType(_SCAN_TYPE type) = 0;
    virtual bool IsFileNodeValid(IFileNode* node) = 0;
    virtual void SetFilterTypes(unsigned int mask) = 0;
    // The node's category as a mask bit (FILE_TYPE_MASK).
    virtual unsigned int GetNodeFileType(IFileNode* node) = 0;
    // Does nothing: the filter lives as long as the process.
    virtual void Release() = 0;
};

// The process-wide filter, built on the first call from the extension lists
// set beforehand with CFileTypeManager::Initialze.
IRecoveryFilter* CreateFilter();
