#pragma once

#include <vector>

class IFileNode;
class KvTreeChanges;

// Steps of the facade's tree refreshes, with the tree lock held.
// Empties the four trees; `uncheck` also unchecks every file of the type tree.
void ResetTreesLocked(bool uncheck);
// Adds to one tree what arrived since its last refresh: from the scan, or
// with `hits` the folders of a search's hits (path tree).
void RefreshTreesLocked(int tree, int final, const std::vector<IFileNode*>* hits,
                        KvTreeChanges& changes);
