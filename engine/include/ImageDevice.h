#pragma once

#include <string>

#include "DeviceInfo.h"
#include "StorageDevice.h"

// New, unopened image devices on a file path.
IStorageDevice* CreateOztDeviceImp(const char* path);
IStorageDevice* CreateDmgDeviceImp(const char* path);

// Opens a tagged "ozt" image with its information block; null on any failure.
IStorageDevice* CreateOztDevice(const char* path);

// Reads the tag and information block of the ozt image at `path` into `info`
// and checks the stored file length; 0 on success, -1 otherwise.
int KvFillOztFileInfo(COZTDeviceInfoStruct* info, const char* path);

// Reopens the ozt image a saved block describes (`path`, or the block's own path
// when null) and accepts it only when it is the same image; null otherwise.
IStorageDevice* CreateOztDeviceByOztInfo(void* info, int length, const char* path);

// Opens the Apple disk image at `path` with a copy of its description record
// (a CDMGDeviceInfoStruct filled by ParseDmgFile); null on any failure.
IStorageDevice* CreateDmgDevice(const char* path, void* info);

// Reopens the image a saved dmg record describes, from the record's own path.
IStorageDevice* CreateDmgDeviceByDmgInfo(void* info, int length, const char* path);

// Why an Apple disk image cannot be scanned.
enum DmgRefusal : int {
    kDmgAccepted = 0,
    kDmgUnreadable,  // missing, not a regular file, or a read failed
    kDmgTooSmall,
    kDmgEncrypted,
    kDmgDamaged,       // trailer, property list or block table wrong or outside the file
    kDmgUnknownBlock,  // a kind of block whose contents are unknown
    kDmgCompressedADC,
    kDmgCompressedZlib,
    kDmgCompressedBzip2,
    kDmgCompressedLZFSE,
    kDmgCompressedLZMA,
    kDmgCompressedOther,
};

// A sentence for the user on why the image was refused; empty when accepted.
const char* DescribeDmgRefusal(DmgRefusal refusal);

// Checks an Apple disk image and fills the record as ParseDmgFile does.
DmgRefusal CheckDmgFile(const std::string& path, CDMGDeviceInfoStruct& record);

// Checks an Apple disk image and fills the record's sector size, sector count,
// data offset, file length, file name and path. Answers 1 when the image's
// sectors can be read from the file (stored raw or as zero runs), 0 when it is
// refused (unreadable, encrypted, compressed blocks, or a block table that does
// not fit the file).
int ParseDmgFile(const std::string& path, CDMGDeviceInfoStruct& record);
