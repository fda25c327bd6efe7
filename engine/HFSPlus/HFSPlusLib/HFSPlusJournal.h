#pragma once

#include <cstdint>
#include <memory>

#include "HFSPlusFormat.h"
#include "HFSPlusVolume.h"
#include "ResultCode.h"

class CHFSPlusBTNode;
class CHFSPlusQuickFileSystemSearchProgress;

// The journal of a volume: older copies of the B-tree nodes the file system
// rewrote. Its walk collects the records the live trees no longer hold.
class CHFSPlusJournal {
public:
    // Opens the journal; a volume without a sound journal keeps an unopened
    // one whose result says why.
    explicit CHFSPlusJournal(CHFSPlusVolume* volume);

    // Bytes of the journal at `position` (taken modulo its size); the circular
    // buffer continues after the journal header when it reaches the end.
    uint64_t Read(uint64_t position, unsigned char* buffer, uint64_t length);
    // One lap of the circular buffer from its oldest data, collecting every
    // journalled leaf record that the live tree no longer holds.
    RESULT_CODE GetDeleteRecord(CHFSPlusQuickFileSystemSearchProgress* progress,
                                HFSPlusDeletedRecords& catalog, HFSPlusDeletedRecords& extents,
                                HFSPlusDeletedRecords& attributes);
    RESULT_CODE GetLastError() const { return result_; }
    bool IsOpen() const { return header_ != nullptr; }
    const JournalHeader* GetHeader() const { return header_.get(); }

private:
    uint64_t Advance(uint64_t position, uint64_t by) const;
    void CollectCatalog(CHFSPlusBTNode& node, CHFSPlusQuickFileSystemSearchProgress* progress,
                        HFSPlusDeletedRecords& catalog);
    void CollectExtents(CHFSPlusBTNode& node, HFSPlusDeletedRecords& extents);
    void CollectAttributes(CHFSPlusBTNode& node, HFSPlusDeletedRecords& attributes);

    CHFSPlusVolume* volume_;
    RESULT_CODE result_;
    std::unique_ptr<JournalInfoBlock> info_;
    std::unique_ptr<JournalHeader> header_;
};
