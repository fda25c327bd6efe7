#pragma once

// Converters from the on-disk (big-endian) byte order of the HFS+ structures
// into host order, each in place on a copy. Names keep '/' as ':' so that a
// name always reads as one path component.

#include <cstddef>
#include <cstdint>

#include "HFSPlusFormat.h"
#include "ResultCode.h"

// Reverses `length` bytes in place.
void flipEndian(unsigned char* bytes, size_t length);

void flipExtentDescriptor(HFSPlusExtentDescriptor* extent);
void flipExtentRecord(HFSPlusExtentDescriptor* record);
void flipForkData(HFSPlusForkData* fork);
void flipBSDInfo(HFSPlusBSDInfo* info);
void flipPoint(HFSPoint* point);
void flipRect(HFSRect* rect);
void flipFileInfo(FileInfo* info);
void flipExtendedFileInfo(ExtendedFileInfo* info);
void flipFolderInfo(FolderInfo* info);
void flipExtendedFolderInfo(ExtendedFolderInfo* info);
void flipRsrcBlockHead(uint32_t* dataLength);

// Whole records: kind 5 (bad argument) for a null pointer, else 0.
RESULT_CODE flipVolumeHeader(HFSPlusVolumeHeader* header);
RESULT_CODE flipNodeDescriptor(BTNodeDescriptor* descriptor);
RESULT_CODE flipBTHeaderRec(BTHeaderRec* header);
RESULT_CODE filpExtentKey(HFSPlusExtentKey* key);
RESULT_CODE filpCatalogKey(HFSPlusCatalogKey* key);
RESULT_CODE filpAttributeKey(HFSPlusAttrKey* key);
RESULT_CODE flipCatalogFolder(HFSPlusCatalogFolder* folder);
RESULT_CODE flipCatalogFile(HFSPlusCatalogFile* file);
RESULT_CODE flipCatalogThread(HFSPlusCatalogThread* thread);
RESULT_CODE flipAttrData(HFSPlusAttrData* data);
RESULT_CODE flipAttrForkData(HFSPlusAttrForkData* data);
RESULT_CODE flipAttrExtents(HFSPlusAttrExtents* data);
RESULT_CODE flipJournalInfoBlock(JournalInfoBlock* block);

// A stored name length, capped at what a name can hold.
inline uint16_t CappedNameLength(uint16_t length) {
    return length > kHFSMaxNameLength ? kHFSMaxNameLength : length;
}
