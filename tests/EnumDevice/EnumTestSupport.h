#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "DeviceInfo.h"
#include "StorageDevice.h"
#include "VolumeAnalyze.h"

namespace enumtest {

// Records of devices handed out by enumeration (null when missing).
CCollectDiskDeviceInfoStruct* DiskInfo(IStorageDevice* device);
CCollectedPartitionDeviceInfoStruct* PartitionInfo(IStorageDevice* device);
CCollectedVolumeDeviceInfoStruct* VolumeInfo(IStorageDevice* device);

// A stand-in file system: a volume whose first sector carries "NTFS    " at
// byte 3 is recognised as NTFS with the text at byte 0x100 as its label.
VolumeAnalyzeFactory FakeNtfsAnalyzerFactory();

// A first sector that the fake analyser (and the table analysis) takes for an
// NTFS boot sector with `label`.
std::vector<uint8_t> FakeNtfsBootSector(const std::string& label);

void MakeSparseFile(const std::filesystem::path& path, uint64_t bytes);
void WriteAt(const std::filesystem::path& path, uint64_t offset, const std::vector<uint8_t>& data);
bool RunSfdisk(const std::string& target, const std::string& script);
std::string Quote(const std::string& text);

// (start, size) of every partition `sfdisk --dump` lists, in its units.
std::vector<std::pair<int64_t, int64_t>> SfdiskDumpStarts(const std::string& target);

}  // namespace enumtest
