#pragma once

#include <QString>

#include "EngineTypes.h"

class IFileNode;
class IFilesystemNode;

// Category bits of the file-type filter and of the type tree.
enum _FILTER_TYPE : unsigned int {
    FILTER_TYPE_DOCUMENT = 1,
    FILTER_TYPE_PICTURE = 2,
    FILTER_TYPE_MOVIE = 4,
    FILTER_TYPE_MUSIC = 8,
    FILTER_TYPE_ARCHIVE = 16,
    FILTER_TYPE_EMAIL = 32,
    FILTER_TYPE_OTHER = 64,
};

// Node utilities the result trees, the search and the recovery share.
class KvCPPPublic {
public:
    // Deeper than any real folder tree; every walk up the parent links stops here.
    static constexpr int kMostLevels = 1024;
    static constexpr unsigned int kCategories[] = {1, 2, 4, 8, 16, 32, 64};

    static KvCPPPublic& instance();

    // The topmost ancestor (the node itself without a parent), at most
    // kMostLevels steps up; null for a null node.
    IFilesystemNode* GetFileSystemNode(IFileNode* node);
    // The searcher of the node's top folder; SEARCHER_NONE without one.
    _tagSearcherType GetNodeSearcheType(IFileNode* node);
    // Local calendar year and month (1 to 12) of a time; false when it has none.
    bool GetYearMonthByTimeT(int* year, int* month, int64_t seconds);
    // The same for a node time, before 1970 too; false for a missing (0) time.
    bool GetYearMonthByFileTime(int* year, int* month, _FILETIME time);
    // The interface title of a category bit; empty for any other value.
    QString FilterTypeToString(unsigned int type);
    bool IsTypeString(const QString& text, unsigned int type);
    // The category whose title is `text`; "other" when none is.
    unsigned int StringToFilterType(const QString& text);
    bool IsStringInFileNode(const char* key, IFileNode* node);

private:
    KvCPPPublic() = default;
};
