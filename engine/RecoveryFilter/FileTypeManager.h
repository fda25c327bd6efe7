#pragma once

#include <map>
#include <string>

#include "KeHashTable.h"
#include "RecoveryFilter.h"

// The category table: file extensions mapped to FILE_TYPE_ID.
class CFileTypeManager {
public:
    static constexpr unsigned int kTableSlots = 2048;

    // Sets the process-wide extension lists (each "ext;ext;...") from the
    // interface's map: key 1 documents, 2 pictures, 4 movies, 8 music,
    // 16 archives, 32 e-mail. Must run before the first CreateFilter().
    static void Initialze(std::map<int, std::string>& lists);

    // Fills this table from the process-wide lists; always true.
    bool Initialize();
    // Inserts every ";"-separated piece of `list` with category `id`.
    void Insert2Table(const std::string& list, FILE_TYPE_ID id);
    // FILE_TYPE_OTHER for a null extension or one not in the table.
    FILE_TYPE_ID GetFileTypeID(const char* extension) const;

private:
    CKeHashTable<FILE_TYPE_ID, kTableSlots> table_;
};
