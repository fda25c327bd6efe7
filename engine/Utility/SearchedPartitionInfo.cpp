#include "SearchedPartitionInfo.h"

CSearchedPartitionInfo::CSearchedPartitionInfo(uint32_t size)
    : sectorSize(size != 0 && size % 512 == 0 ? size : 512) {}

uint32_t CSearchedPartitionInfo::GetType() const {
    return kBaseRecordType;
}
