#include "FileTypeLists.h"

#include <iterator>
#include <map>
#include <string>

#include "FileTypeListsTable.h"
#include "FileTypeManager.h"

void SetFileTypeLists() {
    std::map<int, std::string> lists(std::begin(kFileTypeLists), std::end(kFileTypeLists));
    CFileTypeManager::Initialze(lists);
}
