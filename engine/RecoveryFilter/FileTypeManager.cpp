#include <mutex>

#include "FileTypeManager.h"

namespace {

// The interface's extension lists, set before the filter is first made.
struct ExtensionLists {
    std::mutex lock;
    std::string document;
    std::string pictures;
    std::string movies;
    std::string music;
    std::string archives;
    std::string email;
};

ExtensionLists& Lists() {
    static ExtensionLists lists;
    return lists;
}

}  // namespace

void CFileTypeManager::Initialze(std::map<int, std::string>& lists) {
    ExtensionLists& target = Lists();
    std::lock_guard<std::mutex> hold(target.lock);
    target.document = lists[1];
    target.pictures = lists[2];
    target.movies = lists[4];
    target.music = lists[8];
    target.archives = lists[16];
    target.email = lists[32];
}

bool CFileTypeManager::Initialize() {
    ExtensionLists& source = Lists();
    std::lock_guard<std::mutex> hold(source.lock);
    Insert2Table(source.pictures, FILE_TYPE_PICTURE);
    Insert2Table(source.music, FILE_TYPE_MUSIC);
    Insert2Table(source.movies, FILE_TYPE_MOVIE);
    Insert2Table(source.email, FILE_TYPE_EMAIL);
    Insert2Table(source.archives, FILE_TYPE_ARCHIVE);
    Insert2Table(source.document, FILE_TYPE_DOCUMENT);
    return true;
}

void CFileTypeManager::Insert2Table(const std::string& list, FILE_TYPE_ID id) {
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        table_.InsertNode(list.substr(start, end - start).c_str(), id);
        start = end + 1;
    }
}

FILE_TYPE_ID CFileTypeManager::GetFileTypeID(const char* extension) const {
    FILE_TYPE_ID id = FILE_TYPE_OTHER;
    if (!extension || !table_.FindNode(extension, id))
        return FILE_TYPE_OTHER;
    return id;
}
