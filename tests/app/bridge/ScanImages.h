#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"

class IStorageDevice;

namespace bridgetest {

// A disk made of the FAT fixture volumes: an MBR with the FAT16 image as its
// first partition and the FAT32 image as its second, attached to a loop
// device with its partitions. Also the two volume images on their own.
class FatDisk {
public:
    FatDisk();
    bool ready() const { return loop_ && loop_->attached() && partitioned_; }
    // The loop device's kernel name ("loop3").
    std::string name() const;
    const std::filesystem::path& image() const { return disk_; }
    const std::filesystem::path& volume(int n) const { return n == 1 ? fat16_ : fat32_; }

private:
    harbex::test::TempDir dir_;
    std::filesystem::path fat16_, fat32_, disk_;
    std::unique_ptr<harbex::test::LoopDevice> loop_;
    bool partitioned_ = false;
};

// The listing harbex-scan prints for `arguments`, one line per found item,
// with the top folder's name left out (it differs with how a device was
// opened), sorted.
std::vector<std::string> ToolListing(const std::string& arguments);
// The same listing of the nodes the bridge's scan has indexed.
std::vector<std::string> BridgeListing();

// Enumerates the system's devices anew, after dropping the results of the
// last scan, which read from the devices being released.
void ReEnumerate();

// The disk index of the enumerated disk with this kernel name, -1 if none.
int DiskIndexOf(const std::string& name);

}  // namespace bridgetest
