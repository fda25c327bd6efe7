#pragma once

#include <cstdint>
#include <filesystem>

class IStorageDevice;

namespace bridgetest {

// Name and time stamp of the ozt images the tests make, fixed so that a
// saved result finds its image again wherever the image is made.
inline constexpr const char* kTestImageName = "HARBEX16 image";
inline constexpr uint64_t kTestImageTime = 1700000000;

// An ozt image of the raw sectors in `raw` (512-byte sectors), laid out as
// the image maker lays them out. The device list takes an image with the
// name, time and length of one it holds for that one: tests that open
// several pass times of their own.
bool MakeOztImage(const std::filesystem::path& raw, const std::filesystem::path& image,
                  uint64_t time = kTestImageTime);

// Opens the ozt image as a device of the device list; null on failure.
IStorageDevice* OpenImageDevice(const std::filesystem::path& image);

// A complete scan of `device` through the bridge's scan object on this
// thread, with every file type and the trees built whatever earlier tests
// left set; false when the scan could not start.
bool ScanImageDevice(IStorageDevice* device);

// The disk index the device list gives `device`, -1 when none.
int DiskIndexOfDevice(IStorageDevice* device);

}  // namespace bridgetest
