#include "KvCPPPublic.h"

#include <ctime>

#include "FileNode.h"
#include "KvUIPublic.h"

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

}  // namespace

KvCPPPublic& KvCPPPublic::instance() {
    static KvCPPPublic utilities;
    return utilities;
}

IFilesystemNode* KvCPPPublic::GetFileSystemNode(IFileNode* node) {
    if (node == nullptr)
        return nullptr;
    for (int step = 0; step < kMostLevels; ++step) {
        IFileNode* parent = node->GetParent();
        if (parent == nullptr)
            break;
        node = parent;
    }
    return dynamic_cast<IFilesystemNode*>(node);
}

_tagSearcherType KvCPPPublic::GetNodeSearcheType(IFileNode* node) {
    IFilesystemNode* root = GetFileSystemNode(node);
    return root != nullptr ? root->GetSearcheType() : SEARCHER_NONE;
}

bool KvCPPPublic::GetYearMonthByTimeT(int* year, int* month, int64_t seconds) {
    const time_t when = static_cast<time_t>(seconds);
    struct tm local {};
    if (localtime_r(&when, &local) == nullptr)
        return false;
    if (year != nullptr)
        *year = local.tm_year + 1900;
    if (month != nullptr)
        *month = local.tm_mon + 1;
    return true;
}

bool KvCPPPublic::GetYearMonthByFileTime(int* year, int* month, _FILETIME time) {
    if (time == 0)
        return false;
    // Signed, so that times before 1970 give their own year.
    const int64_t seconds = static_cast<int64_t>(time / kTicksPerSecond) - kSecondsFrom1601To1970;
    return GetYearMonthByTimeT(year, month, seconds);
}

QString KvCPPPublic::FilterTypeToString(unsigned int type) {
    switch (type) {
        case FILTER_TYPE_DOCUMENT:
            return KvUIPublic::LocalizedString("QOV_TWO_DOCUMENT_TITLE");
        case FILTER_TYPE_PICTURE:
            return KvUIPublic::LocalizedString("QOV_TWO_PICTURE_TITLE");
        case FILTER_TYPE_MOVIE:
            return KvUIPublic::LocalizedString("QOV_TWO_MOVIE_TITLE");
        case FILTER_TYPE_MUSIC:
            return KvUIPublic::LocalizedString("QOV_TWO_MUSIC_TITLE");
        case FILTER_TYPE_ARCHIVE:
            return KvUIPublic::LocalizedString("QOV_TWO_ARCHIVES_TITLE");
        case FILTER_TYPE_EMAIL:
            return KvUIPublic::LocalizedString("QOV_TWO_EMAIL_TITLE");
        case FILTER_TYPE_OTHER:
            return KvUIPublic::LocalizedString("QOV_TWO_OTHER_TITLE");
        default:
            return {};
    }
}

bool KvCPPPublic::IsTypeString(const QString& text, unsigned int type) {
    return !text.isNull() && text == FilterTypeToString(type);
}

unsigned int KvCPPPublic::StringToFilterType(const QString& text) {
    for (unsigned int type : kCategories) {
        if (IsTypeString(text, type))
            return type;
    }
    return FILTER_TYPE_OTHER;
}

bool KvCPPPublic::IsStringInFileNode(const char* key, IFileNode* node) {
    return KvUIPublic::IsStringInFileNode(key, node);
}
