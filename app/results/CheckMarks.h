#pragma once

// The rules of the check marks of the results window: how a click toggles a
// mark, the state the select-all box shows for a tree node and its files,
// and the select-all itself. States: 0 unchecked, 1 partly checked (only
// ever derived from children), 2 checked.

#include <QString>

#include <cstdint>
#include <vector>

class IFileNode;
class KvUIFacade;
class OpNodeData;

namespace CheckMarks {

// A checked item becomes unchecked; an unchecked or partly checked one checked.
int toggled(int state);

// Marks do not change while a scan runs and is not paused.
bool locked(KvUIFacade& facade);

// The state of `node` from what it holds: a category or date root from its
// direct children, any other node from the files the facade lists for it,
// and no node from `shown` (the window's list). Folders do not count;
// nothing counted gives 0.
int derivedState(KvUIFacade& facade, OpNodeData* node, const std::vector<IFileNode*>& shown);

// The state select-all gives: clears when everything is checked, else checks.
int selectAllTarget(int derived);
// Sets `state` on every file of `shown`; folders keep their marks.
void setAllFiles(const std::vector<IFileNode*>& shown, int state);

// The picture of the select-all boxes.
QString selectAllImage(bool listEmpty, int derived);

}  // namespace CheckMarks
