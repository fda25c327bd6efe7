#include "NodeDevice.h"

#include "DeviceRead.h"

CNodeDevice::CNodeDevice(const char* path) {
    if (path != nullptr) {
        CopyPathField(path_, sizeof(path_), path);
    }
}

bool CNodeDevice::Open(char* path) {
    lastError_ = kResultSuccess;
    if (path != nullptr && !CopyPathField(path_, sizeof(path_), path)) {
        lastError_ = ENGINE_FAILURE(kModuleStorageDevice, kResultBadArgument);
        return false;
    }
    Close();
    OpenedNode node;
    bool permissionDenied = false;
    lastError_ = OpenNode(path_, node, permissionDenied);
    if (IsFailure(lastError_)) {
        if (permissionDenied) {
            permitted_ = 0;
        }
        return false;
    }
    fd_ = node.fd;
    sectorSize_ = node.sectorSize;
    sectorCount_ = node.sectorCount;
    return true;
}
