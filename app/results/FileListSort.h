#pragma once

// Sorting the found files of the results window's list by one of its columns.
// Each row's key is read once, then the rows are sorted stably: rows with
// equal keys keep the order they had, in either direction.

#include <QString>

#include <vector>

class IFileNode;

namespace FileListSort {

// Sorts `rows` by the column with this identifier ("Name", "Size", "Path",
// "Created"); any other column leaves them as they are. Null rows have the
// smallest key.
void sortRows(std::vector<IFileNode*>& rows, const QString& column, bool ascending);

}  // namespace FileListSort
