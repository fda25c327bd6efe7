#pragma once

#include <cstdint>
#include <string>

class CNTFSFileRecord;
class CNTFSMultiFileRecord;

// Tells the records of the file system's own files by name and flags.
class CMetaFileRecordTypeAnalyzer {
public:
    static constexpr uint32_t kNotMeta = 0xFFFFFFFF;

    // The record number the first file name gives among the meta-file names, or kNotMeta.
    static uint32_t GetMetaFileRecordIndex(const CNTFSFileRecord& record);
    // A meta-file name with the hidden and system flags.
    static bool IsValidMetaFileRecord(const CNTFSFileRecord& record);
    static bool IsValidMetaFileRecord(const CNTFSFileRecord& record, const wchar_t* name);
    // The buffer forms view `size` bytes (the record size).
    static bool IsValidMetaFileRecord(uint8_t* buffer, int size, const wchar_t* name);
    static bool IsValidMFTFileRecord(const CNTFSFileRecord& record);
    // The same through the attribute list: the name may lie in an extension record.
    static bool IsValidMFTFileRecord(CNTFSMultiFileRecord& record);
    static bool IsValidMFTMirrFileRecord(const CNTFSFileRecord& record);
    static bool IsValidBitmapFileRecord(const CNTFSFileRecord& record);
    static bool IsValidMFTFileRecord(uint8_t* buffer, int size);
    static bool IsValidLogFileRecord(uint8_t* buffer, int size);
    static bool IsValidVolumeFileRecord(uint8_t* buffer, int size);
    static bool IsValidAttrDefFileRecord(uint8_t* buffer, int size);
    static bool IsValidUpCaseFileRecord(uint8_t* buffer, int size);
};

// Record numbers below 25 belong to the file system; so do records named like
// its files and flagged hidden and system.
class CIsMetaFileRecord {
public:
    static bool IsMetaFileRecord(int64_t recordNumber) { return recordNumber < 25; }
    static bool IsMetaFileRecord(uint8_t* buffer, int size);
};

// The volume label from the $Volume record.
class CVolumeFileAnalyzer {
public:
    static bool GetLabel(uint8_t* record, int recordSize, std::string& label);
};
