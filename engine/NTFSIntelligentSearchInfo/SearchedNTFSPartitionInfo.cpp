#include "SearchedNTFSPartitionInfo.h"

#include "NTFSArchiveFields.h"

// The fields in their saved order; `field` writes or reads one.
template <typename Self, typename Field>
bool CSearchedNTFSPartitionInfo::EachField(Self& self, Field field) {
    return field(self.serialNumber_) && field(self.sectorsPerRecord_) && field(self.buildFrom_) &&
           field(self.mftLocated) && field(self.restrictToTables) && field(self.totalClusters) &&
           field(self.logMatchCount) && field(self.attrDefMatchCount) &&
           field(self.upCaseMatchCount) && field(self.mftSector) &&
           field(self.logFileRecordSector) && field(self.attrDefRecordSector) &&
           field(self.upCaseRecordSector) && field(self.bitmapSectors);
}

bool CSearchedNTFSPartitionInfo::Save(IRSData& archive) const {
    return EachField(
        *this, [&archive](const auto& value) { return NTFSArchiveFields::Write(archive, value); });
}

bool CSearchedNTFSPartitionInfo::Restore(IRSData& archive) {
    return EachField(*this,
                     [&archive](auto& value) { return NTFSArchiveFields::Read(archive, value); });
}
