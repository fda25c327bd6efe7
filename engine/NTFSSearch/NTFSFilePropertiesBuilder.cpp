#include <algorithm>
#include <cstring>

#include "NTFSAttribute.h"
#include "NTFSFileProperties.h"
#include "NTFSName.h"
#include "NTFSRunList.h"

namespace {

// The file-name attribute `index` when it is whole inside its record.
CFoundAttribute FileName(CNTFSMultiFileRecord& record, uint32_t index) {
    CFoundAttribute found = record.FindAttibute(kNTFSFileName, index);
    if (found.attribute != nullptr &&
        !CNTFSFileRecordFileNameAttribute::IsValid(found.attribute, found.remaining)) {
        found.attribute = nullptr;
    }
    return found;
}

}  // namespace

bool CNTFSFilePropertiesBuilder::BuildFilePropertiesFrom0x30(CNTFSMultiFileRecord& record,
                                                             CNTFSFilePropertiesStruct& out,
                                                             int64_t* parent,
                                                             NTFSNameConverter* names) {
    using FN = CNTFSFileRecordFileNameAttribute;
    const CFoundAttribute first = FileName(record, 0);
    const CFoundAttribute second = FileName(record, 1);
    const uint8_t* chosen = first.attribute;
    if (second.attribute != nullptr && FN::GetFileNameNamespaceType(second.attribute) == 1) {
        chosen = second.attribute;
    }
    if (chosen == nullptr) {
        return false;
    }
    int64_t parentNumber = FN::GetFileRecordNumberofParentDirectory(chosen);
    if (second.attribute && FN::GetFileRecordNumberofParentDirectory(second.attribute) >= 5) {
        parentNumber = FN::GetFileRecordNumberofParentDirectory(second.attribute);
    } else if (first.attribute && FN::GetFileRecordNumberofParentDirectory(first.attribute) >= 5) {
        parentNumber = FN::GetFileRecordNumberofParentDirectory(first.attribute);
    }
    if (parent != nullptr) {
        *parent = parentNumber;
    }
    const uint8_t length = FN::GetFileNameLength(chosen);
    if (length == 0) {
        return false;
    }
    if (FN::IsDirectory(chosen)) {
        out.attribute |= kNTFSAttributeDirectory;
    }
    const uint8_t* units = FN::GetFileName(chosen);
    NTFSNameConverter own;
    if (!(names ? names : &own)->Convert(units, size_t{length} * 2, out.name)) {
        out.name.assign(reinterpret_cast<const char*>(units), size_t{length} * 2);
    }
    out.name.resize(std::strlen(out.name.c_str()));
    out.creationTime = FN::GetCreationTime(chosen);
    out.modificationTime = FN::GetModificationTime(chosen);
    out.lastAccessTime = FN::GetLastAccessTime(chosen);
    out.size = FN::GetFileRealSize(chosen);
    return true;
}

void CNTFSFilePropertiesBuilder::BuildFilePropertiesFrom0x10(CNTFSMultiFileRecord& record,
                                                             CNTFSFilePropertiesStruct& out) {
    using SI = CNTFSFileRecordStandardInformationAttribute;
    const CFoundAttribute info = record.FindAttibute(kNTFSStandardInformation, 0);
    if (info.attribute == nullptr || !SI::IsValid(info.attribute, info.remaining)) {
        return;
    }
    out.creationTime = SI::GetCreationTime(info.attribute);
    out.modificationTime = SI::GetModificationTime(info.attribute);
    out.lastAccessTime = SI::GetLastAccessTime(info.attribute);
    out.attribute |=
        SI::GetDosFilePermission(info.attribute) & (kNTFSAttributeReadOnly | kNTFSAttributeHidden |
                                                    kNTFSAttributeSystem | kNTFSAttributeArchive);
}

void CNTFSFilePropertiesBuilder::BuildFilePropertiesFrom0x80(CNTFSMultiFileRecord& record,
                                                             CNTFSFilePropertiesStruct& out,
                                                             int64_t bytesPerCluster) {
    using A = CNTFSFileRecordAttribute;
    CNTFSDataRunList runs;
    IDataRunList* extents = nullptr;
    bool resident = false;
    for (uint32_t index = 0;; ++index) {
        const CFoundAttribute data = record.FindAttibute(kNTFSData, index);
        if (data.attribute == nullptr) {
            break;
        }
        if (!A::IsValid(data.attribute, data.remaining) || A::IsNamed(data.attribute)) {
            continue;
        }
        if (A::IsCompressed(data.attribute)) {
            out.attribute |= kNTFSAttributeCompressed;
        }
        if (A::IsEncrypted(data.attribute)) {
            out.attribute |= kNTFSAttributeEncrypted;
        }
        if (A::IsResident(data.attribute)) {
            auto* list = new CResidentNTFSDataRunList();
            list->InitList(data.sector, 1, data.offset + A::GetOffsetToAttribute(data.attribute));
            extents = list;
            out.size = A::GetLengthOfAttribute(data.attribute);
            resident = true;
            break;
        }
        const uint32_t runsOffset = A::GetDataRunsOffset(data.attribute);
        runs.AddDataRunsfromBuffer(data.attribute + runsOffset,
                                   static_cast<int>(A::GetLength(data.attribute) - runsOffset),
                                   A::GetStartVCN(data.attribute));
        // The first piece of the stream carries the stream's true size.
        if (A::GetStartVCN(data.attribute) == 0) {
            out.size = A::GetRealSizeOfAttribute(data.attribute);
        }
    }
    if (!resident) {
        runs.Sort();
        int64_t totalClusters = 0;
        extents = BuildNonResidentDataRunListfromNTFSDataRunList(runs, &totalClusters);
        out.size = std::max<int64_t>(out.size, 0);
        if (bytesPerCluster > 0 && bytesPerCluster % 512 == 0 &&
            totalClusters <= INT64_MAX / bytesPerCluster) {
            const int64_t allocated = totalClusters * bytesPerCluster;
            if (out.size == 0 && allocated != 0) {
                out.size = allocated;
            } else {
                out.size = std::min(out.size, allocated);
            }
        }
    }
    if (extents != nullptr) {
        out.extents.reset(CCompressedDataRunList::Compress(extents));
        extents->Release();
    }
    if ((out.attribute & kNTFSAttributeCompressed) && (out.attribute & kNTFSAttributeEncrypted)) {
        out.attribute &= static_cast<uint16_t>(~kNTFSAttributeCompressed);
    }
}

CNTFSFileProperties* CNTFSFilePropertiesBuilder::BuildFileProperties(int64_t recordSector,
                                                                     CNTFSMultiFileRecord& record,
                                                                     int64_t bytesPerCluster,
                                                                     int64_t* parent,
                                                                     NTFSNameConverter* names) {
    if (!record.IsValid()) {
        return nullptr;
    }
    CNTFSFilePropertiesStruct fields;
    if (!BuildFilePropertiesFrom0x30(record, fields, parent, names)) {
        return nullptr;
    }
    BuildFilePropertiesFrom0x10(record, fields);
    fields.recordSector = recordSector;
    if (!record.IsinUse()) {
        fields.state |= kNTFSStateDeleted;
    }
    BuildFilePropertiesFrom0x80(record, fields, bytesPerCluster);
    fields.recordIndex = record.GetMainFileRecordIndex();
    CNTFSFileProperties* properties = CNTFSFileProperties::Create();
    properties->Init(std::move(fields));
    return properties;
}

void CNTFSFilePropertiesBuilder::AdjustFileSizeAccordinttoDataRunsWhenFileSizeLessThanZero(
    CNTFSFileProperties* properties, uint32_t bytesPerCluster) {
    if (properties == nullptr || properties->GetFileSize() >= 0 || properties->IsResidentData()) {
        return;
    }
    IDataRunList* list = properties->GetDataRunList();
    if (list == nullptr) {
        return;
    }
    uint64_t clusters = 0;
    for (DataRun* run = list->GetFirst(); run != nullptr; run = list->GetNext()) {
        clusters += run->clusterCount;
    }
    list->Release();
    if (bytesPerCluster != 0 && clusters <= static_cast<uint64_t>(INT64_MAX) / bytesPerCluster) {
        properties->SetFileSize(static_cast<int64_t>(clusters * bytesPerCluster));
    }
}
