#pragma once

#include "EngineTypes.h"

class IDataRecovery;
class IFileSystemSearchController;
class IStorageDevice;
class RestoreScanSink;

// A copy-out object bound to the partitions of a restored result of `type`
// when `restore` is set, else to those `searcher` found; null when binding fails.
IDataRecovery* CreateBoundDataRecovery(RestoreScanSink* restore, _tagSearcherType type,
                                       IFileSystemSearchController* searcher,
                                       IStorageDevice* device);
