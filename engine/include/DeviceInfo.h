#pragma once

#include <cstddef>
#include <cstdint>

class IStorageDevice;

// Description of a whole disk.
struct CCollectDiskDeviceInfoStruct {
    uint32_t kind;             // 0 for every enumerated disk
    uint32_t busType;          // 0 unknown, 1 ATA, 2 SATA, 3 SCSI, 4 USB, 5 virtual
    uint32_t partitionScheme;  // 0 none, 1 MBR, 2 GPT, 3 Apple partition map
    uint32_t writable;
    char modelName[128];
    char bsdName[128];
    int64_t sectorSize;
    int64_t sectorCount;
    int64_t cylinders;
    int64_t heads;
    int64_t sectorsPerTrack;
    int32_t deviceId;  // major << 24 | minor
};

// Description of one partition of a disk.
struct CCollectedPartitionDeviceInfoStruct {
    uint32_t kind;  // the parent disk's kind
    uint32_t reserved;
    uint32_t fileSystemType;  // enumFILE_SYSTEM_TYPE, 10 when unrecognised
    char label[100];
    uint32_t sectorSize;
    int64_t sectorCount;
    int32_t deviceId;
    IStorageDevice* parentDisk;  // not owned
    uint32_t partitionEntryNumber;
    uint8_t gptTypeGuid[16];
    uint8_t gptPartitionGuid[16];
    char applePartitionType[32];
    int64_t startSector;  // on the parent disk
};

// Description of a volume; copied by value and kept in vectors.
struct CCollectedVolumeDeviceInfoStruct {
    uint32_t kind;
    uint32_t reserved;
    uint32_t fileSystemType;  // enumFILE_SYSTEM_TYPE, 10 when unrecognised
    char label[100];
    char volumeName[1024];
    char bsdName[128];
    uint32_t sectorSize;
    int64_t sectorCount;
    int32_t deviceId;
    IStorageDevice* parentDisk;  // not owned; null when none
    int32_t partitionNumber;     // -1 for a whole medium
    uint8_t gptTypeGuid[16];
    uint8_t gptPartitionGuid[16];
    char applePartitionContent[32];
    int64_t startSector;
    uint32_t mounted;
};

// The information block of the tagged "ozt" image file, stored after the
// 8-byte tag ("ozt\0" and the block length) and before the image's sectors.
struct COZTDeviceInfoStruct {
    uint32_t sectorSize;
    uint32_t sectorSizeHigh;  // compared together with sectorSize
    int64_t sectorCount;
    int64_t dataOffset;  // byte position of sector 0 in the image file
    int64_t imageFileLength;
    char deviceName[128];  // byte 127 is always NUL
    char imagePath[1024];
    uint64_t timeStamp;
};
static_assert(sizeof(COZTDeviceInfoStruct) == 1192);
static_assert(offsetof(COZTDeviceInfoStruct, deviceName) == 32);
static_assert(offsetof(COZTDeviceInfoStruct, imagePath) == 160);
static_assert(offsetof(COZTDeviceInfoStruct, timeStamp) == 1184);

constexpr char kOztMagic[4] = {'o', 'z', 't', '\0'};
constexpr int32_t kOztInfoLength = sizeof(COZTDeviceInfoStruct);

// Description of an Apple disk image whose sectors are read straight from the file.
struct CDMGDeviceInfoStruct {
    uint32_t sectorSize;
    uint32_t sectorSizeHigh;
    int64_t sectorCount;
    int64_t dataOffset;  // byte position of sector 0 in the image file
    int64_t imageFileLength;
    char fileName[1024];  // last path component; byte 1023 is always NUL
    char imagePath[1032];
};
static_assert(sizeof(CDMGDeviceInfoStruct) == 2088);
static_assert(offsetof(CDMGDeviceInfoStruct, fileName) == 32);
static_assert(offsetof(CDMGDeviceInfoStruct, imagePath) == 1056);
