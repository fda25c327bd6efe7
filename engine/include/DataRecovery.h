#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ResultCode.h"

class CSearchedPartitionInfo;
class IFileNode;
class IFileReader;
class IFileSystemSearchController;
class IProgress;
class IStorageDevice;

// Copies found files of one searcher type out to destination files.
class IDataRecovery {
public:
    virtual ~IDataRecovery() = default;
    // Binds the object to the partitions the searcher found.
    virtual RESULT_CODE Initialize(IFileSystemSearchController* searcher,
                                   IStorageDevice* device) = 0;
    // Makes the node current; answers a clone of its reader (the caller owns it) or null.
    virtual IFileReader* SetRecoverNode(IFileNode* node) = 0;
    // Copies the current node to `path` (the first `size` bytes when size is nonzero).
    // Success means every byte was read and written. A copy with unreadable
    // parts (left as zeros) answers the short-read kind and stays; any other
    // failure leaves no file behind.
    virtual RESULT_CODE RecoverTo(const char* path, IProgress* progress, int size) = 0;
    // Why the last RecoverTo did not copy its file whole, in the system's
    // words where the system gave the reason; empty after a whole copy.
    virtual std::string GetLastFailureReason() = 0;
    // A small embedded JPEG picture from the file's first 64 KiB; answers its length or 0.
    virtual uint32_t ReadSmallJPG(char* buffer, uint32_t capacity) = 0;
    virtual void Release() = 0;

    // Binds the object to partitions saved in a scan result.
    virtual RESULT_CODE Initialize(std::vector<CSearchedPartitionInfo*>& partitions,
                                   IStorageDevice* device) = 0;
    virtual std::vector<CSearchedPartitionInfo*>& GetSearchedPartition() = 0;
};

IDataRecovery* CreateDataRecoveryObj();
