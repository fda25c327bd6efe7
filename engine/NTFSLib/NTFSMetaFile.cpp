#include "NTFSMetaFile.h"

#include <cassert>

#include "NTFSAttribute.h"
#include "NTFSFileRecord.h"
#include "NTFSMultiFileRecord.h"
#include "NTFSName.h"

namespace {

struct MetaName {
    uint32_t record;
    const wchar_t* name;
};

constexpr MetaName kMetaNames[] = {
    {0, L"$MFT"},     {1, L"$MFTMirr"}, {2, L"$LogFile"}, {3, L"$Volume"},  {4, L"$AttrDef"},
    {5, L"."},        {6, L"$Bitmap"},  {7, L"$Boot"},    {8, L"$BadClus"}, {9, L"$Secure"},
    {10, L"$UpCase"}, {11, L"$Extend"}, {32, L"$Quota"},  {33, L"$ObjId"},  {34, L"$Reparse"},
};

// `info` is the standard information attribute with `remaining` bytes of its record.
bool IsHiddenSystem(const uint8_t* info, int remaining) {
    if (info == nullptr || !CNTFSFileRecordStandardInformationAttribute::IsValid(info, remaining)) {
        return false;
    }
    const uint32_t dos = CNTFSFileRecordStandardInformationAttribute::GetDosFilePermission(info);
    return (dos & 0x06) == 0x06;
}

bool IsHiddenSystem(const CNTFSFileRecord& record) {
    const uint8_t* info = record.FindAttibute(kNTFSStandardInformation, 0);
    return info != nullptr &&
           IsHiddenSystem(info, record.GetSize() - static_cast<int>(info - record.GetBuffer()));
}

}  // namespace

uint32_t CMetaFileRecordTypeAnalyzer::GetMetaFileRecordIndex(const CNTFSFileRecord& record) {
    if (!record.IsValid() || CNTFSFileRecord::IsExtendFileRecord(record.GetBuffer())) {
        return kNotMeta;
    }
    const uint8_t* name = record.FindAttibute(kNTFSFileName, 0);
    if (name == nullptr) {
        return kNotMeta;
    }
    for (const MetaName& meta : kMetaNames) {
        if (CNTFSFileRecordFileNameAttribute::IsFileNameEqual(name, meta.name)) {
            return meta.record;
        }
    }
    return kNotMeta;
}

bool CMetaFileRecordTypeAnalyzer::IsValidMetaFileRecord(const CNTFSFileRecord& record) {
    return GetMetaFileRecordIndex(record) != kNotMeta && IsHiddenSystem(record);
}

bool CMetaFileRecordTypeAnalyzer::IsValidMetaFileRecord(const CNTFSFileRecord& record,
                                                        const wchar_t* name) {
    if (!record.IsValid() || !IsHiddenSystem(record)) {
        return false;
    }
    const uint8_t* fileName = record.FindAttibute(kNTFSFileName, 0);
    return fileName != nullptr && CNTFSFileRecordFileNameAttribute::IsFileNameEqual(fileName, name);
}

bool CMetaFileRecordTypeAnalyzer::IsValidMetaFileRecord(uint8_t* buffer, int size,
                                                        const wchar_t* name) {
    const CNTFSFileRecord record(buffer, size, false);
    return IsValidMetaFileRecord(record, name);
}

bool CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(const CNTFSFileRecord& record) {
    return IsValidMetaFileRecord(record, L"$MFT");
}

bool CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(CNTFSMultiFileRecord& record) {
    if (!record.IsValid()) {
        return false;
    }
    const CFoundAttribute info = record.FindAttibute(kNTFSStandardInformation, 0);
    const CFoundAttribute name = record.FindAttibute(kNTFSFileName, 0);
    return IsHiddenSystem(info.attribute, info.remaining) && name.attribute != nullptr &&
           CNTFSFileRecordFileNameAttribute::IsValid(name.attribute, name.remaining) &&
           CNTFSFileRecordFileNameAttribute::IsFileNameEqual(name.attribute, L"$MFT");
}

bool CMetaFileRecordTypeAnalyzer::IsValidMFTMirrFileRecord(const CNTFSFileRecord& record) {
    return IsValidMetaFileRecord(record, L"$MFTMirr");
}

bool CMetaFileRecordTypeAnalyzer::IsValidBitmapFileRecord(const CNTFSFileRecord& record) {
    return IsValidMetaFileRecord(record, L"$Bitmap");
}

bool CMetaFileRecordTypeAnalyzer::IsValidAttrDefFileRecord(uint8_t* buffer, int size) {
    return IsValidMetaFileRecord(buffer, size, L"$AttrDef");
}

bool CMetaFileRecordTypeAnalyzer::IsValidUpCaseFileRecord(uint8_t* buffer, int size) {
    return IsValidMetaFileRecord(buffer, size, L"$UpCase");
}

bool CMetaFileRecordTypeAnalyzer::IsValidMFTFileRecord(uint8_t* buffer, int size) {
    return IsValidMetaFileRecord(buffer, size, L"$MFT");
}

bool CMetaFileRecordTypeAnalyzer::IsValidLogFileRecord(uint8_t* buffer, int size) {
    return IsValidMetaFileRecord(buffer, size, L"$LogFile");
}

bool CMetaFileRecordTypeAnalyzer::IsValidVolumeFileRecord(uint8_t* buffer, int size) {
    return IsValidMetaFileRecord(buffer, size, L"$Volume");
}

bool CIsMetaFileRecord::IsMetaFileRecord(uint8_t* buffer, int size) {
    assert(buffer != nullptr && "u8FileRecordBuffer != NULL");
    if (size < CNTFSFileRecord::kMinimumSize) {
        return false;
    }
    const CNTFSFileRecord record(buffer, size, false);
    return CMetaFileRecordTypeAnalyzer::IsValidMetaFileRecord(record);
}

bool CVolumeFileAnalyzer::GetLabel(uint8_t* buffer, int recordSize, std::string& label) {
    assert(buffer != nullptr && "pFileRecordBuffer != NULL");
    assert(recordSize >= CNTFSFileRecord::kMinimumSize && "iRecordBufferSize >= 1024");
    const CNTFSFileRecord record(buffer, recordSize, false);
    if (!CMetaFileRecordTypeAnalyzer::IsValidMetaFileRecord(record, L"$Volume")) {
        return false;
    }
    const uint8_t* volumeName = record.FindAttibute(kNTFSVolumeName, 0);
    if (volumeName == nullptr ||
        !CNTFSFileRecordAttribute::IsValid(
            volumeName, record.GetSize() - static_cast<int>(volumeName - record.GetBuffer())) ||
        !CNTFSFileRecordAttribute::IsResident(volumeName)) {
        return false;
    }
    return NTFSUtf16ToUtf8(CNTFSFileRecordAttribute::GetValue(volumeName),
                           CNTFSFileRecordAttribute::GetLengthOfAttribute(volumeName) & ~1u, label);
}
