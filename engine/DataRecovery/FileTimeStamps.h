#pragma once

#include "EngineTypes.h"
#include "FileTimes.h"

class IFileNode;

// A node time (100-ns units since 1601, UTC) as a file time stamp; 0 and
// values beyond the signed range are "unknown" and leave the stamp unset.
FileTimeStamp FileTimeToStamp(_FILETIME time);

// Gives the file or folder at `path` the node's modification, access and,
// where the file system keeps one, creation time. Unknown times are skipped.
void ApplyNodeTimes(const char* path, IFileNode* node);
