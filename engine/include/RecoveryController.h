#pragma once

#include <chrono>
#include <string>

#include "EngineTypes.h"
#include "ResultCode.h"

class IDataRecovery;
class IDrirectoryTree;
class IProgress;
class IRecoveryFilter;
class IStorageDevice;
class RestoreScanSink;

enum _RECOVERY_CONTROLLER_TYPE : int {
    RECOVERY_CONTROLLER_DELETED = 0,    // one quick searcher over one volume
    RECOVERY_CONTROLLER_COMPLETE = 1,   // every block searcher over the whole device
    RECOVERY_CONTROLLER_PARTITION = 2,  // as complete, reported as its own kind
    RECOVERY_CONTROLLER_NONE = 3,
};

// Runs one scan of one device on the caller's thread and afterwards hands out
// the copy-out object of each searcher type.
class IRecoveryController {
public:
    virtual ~IRecoveryController() = default;
    virtual _RECOVERY_CONTROLLER_TYPE thisType() = 0;
    // Keeps the file-type filter (not owned); false for null.
    virtual bool Initialize(IRecoveryFilter* filter) = 0;
    // Runs the whole scan; the device and both sinks stay the caller's.
    virtual RESULT_CODE StartDataRecovery(IStorageDevice* device, IProgress* progress,
                                          IDrirectoryTree* tree) = 0;
    // A new copy-out object bound to the partitions of that searcher type, or
    // null; the caller releases it.
    virtual IDataRecovery* GetDataRecovery(_tagSearcherType type) const = 0;
    virtual void Release() = 0;
    // A saved scan result replayed in place of the searchers (not owned); set
    // before StartDataRecovery.
    virtual void SetRestoreScanSink(RestoreScanSink* source) = 0;
};

// A new controller of that kind; null for any other value. Its tree builder
// pauses for `treeSetupPause` after announcing each result tree; a caller
// with no results window to set up passes zero.
IRecoveryController* CreateRecoveryController(_RECOVERY_CONTROLLER_TYPE type,
                                              std::chrono::milliseconds treeSetupPause);
// As above with the pause a results window needs.
IRecoveryController* CreateRecoveryController(_RECOVERY_CONTROLLER_TYPE type);

// The root name of the result trees: the volume name of a volume device, the
// device name of an ozt image, else empty.
std::string GetDeviceDescription(IStorageDevice* device);
