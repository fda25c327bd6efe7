#include "FolderIndexAllocationInfo.h"

#include "NTFSAttribute.h"
#include "NTFSFileRecord.h"
#include "NTFSRecordAnalyzer.h"

bool CFolderIndexAllocationInfo::InitFromBuffer(uint8_t* buffer, int size, int64_t sector) {
    using A = CNTFSFileRecordAttribute;
    const CNTFSFileRecord record(buffer, size, false);
    if (!record.IsValid() || CNTFSFileRecord::IsExtendFileRecord(record.GetBuffer())) {
        return false;
    }
    const uint8_t* base = record.GetBuffer();
    auto remaining = [&](const uint8_t* attribute) {
        return record.GetSize() - static_cast<int>(attribute - base);
    };
    number_ = -1;
    if (const uint8_t* root = record.FindAttibute(kNTFSIndexRoot, 0)) {
        number_ = CNTFSFileRecordIndexRootAttribute::GetMFTFileRecordNumberfrom0x90(
            root, remaining(root));
    }
    const uint8_t* index = record.FindAttibute(kNTFSIndexAllocation, 0);
    if (index == nullptr || !A::IsValid(index, remaining(index)) || A::IsResident(index)) {
        return false;
    }
    const uint32_t offset = A::GetDataRunsOffset(index);
    runs_.ClearDataRunList();
    if (offset >= A::GetLength(index) ||
        !runs_.AddDataRunsfromBuffer(index + offset, static_cast<int>(A::GetLength(index) - offset),
                                     A::GetStartVCN(index))) {
        return false;
    }
    sectorsPerCluster_ =
        CNTFSFileRecordDataRunsAttribute::GetSectorsPerCluster(index, remaining(index));
    if (sectorsPerCluster_ == 0) {
        return false;
    }
    sector_ = sector;
    lsn_ = CNTFSFileRecord::GetLogFileSequenceNumber(base);
    hasOwnNumber_ = CNTFSFileRecord::HasXPNumberOfthisMFTRecord(base);
    if (hasOwnNumber_) {
        ownNumber_ = CNTFSFileRecord::GetXPNumberOfthisMFTRecord(base);
        if (number_ == -1) {
            number_ = ownNumber_;
        }
    }
    return number_ != -1 && number_ != 5;
}
