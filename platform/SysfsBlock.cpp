#include "SysfsBlock.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <system_error>

#include "DeviceNumber.h"

namespace fs = std::filesystem;

namespace {

// A sysfs directory holds a few hundred entries at most; a fake or broken tree
// must not make the walk run away.
constexpr size_t kMaxEntries = 4096;

std::string Trim(std::string text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::string ReadLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    if (in) {
        std::getline(in, line);
    }
    return Trim(line);
}

template <typename T>
bool ReadNumber(const fs::path& path, T& value) {
    std::string text = ReadLine(path);
    if (text.empty()) {
        return false;
    }
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ReadDeviceNumber(const fs::path& path, uint32_t& major, uint32_t& minor) {
    return ParseDeviceNumber(ReadLine(path), major, minor);
}

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool IsLeftOutByName(const std::string& name) {
    return StartsWith(name, "ram") || StartsWith(name, "zram") || StartsWith(name, "sr");
}

// A device-mapper device is known by its mapping's name, under /dev/mapper.
std::string NodeName(const fs::path& diskDir, const std::string& kernelName) {
    if (StartsWith(kernelName, "dm-")) {
        const std::string mapping = ReadLine(diskDir / "dm" / "name");
        if (!mapping.empty() && mapping.find('/') == std::string::npos && mapping != "." &&
            mapping != "..") {
            return "mapper/" + mapping;
        }
    }
    return kernelName;
}

// SCSI peripheral type 5 is a CD/DVD drive.
bool IsOptical(const fs::path& diskDir) {
    return ReadLine(diskDir / "device" / "type") == "5";
}

std::string ModelOf(const fs::path& diskDir, const std::string& name) {
    if (StartsWith(name, "loop")) {
        return fs::path(ReadLine(diskDir / "loop" / "backing_file")).filename().string();
    }
    if (StartsWith(name, "dm-") || StartsWith(name, "md")) {
        return name;  // no hardware to name
    }
    std::string vendor = ReadLine(diskDir / "device" / "vendor");
    std::string model = ReadLine(diskDir / "device" / "model");
    // Without a model the vendor attribute is a bare bus id (virtio: "0x1af4").
    if (vendor.empty() || model.empty()) {
        return model;
    }
    return vendor + " " + model;
}

std::vector<SysfsPartition> PartitionsOf(const fs::path& diskDir) {
    std::vector<SysfsPartition> partitions;
    std::error_code error;
    size_t seen = 0;
    for (fs::directory_iterator it(diskDir, error), end; !error && it != end && seen < kMaxEntries;
         it.increment(error), ++seen) {
        const fs::path& dir = it->path();
        SysfsPartition partition;
        if (!ReadNumber(dir / "partition", partition.number)) {
            continue;
        }
        partition.name = dir.filename().string();
        ReadNumber(dir / "start", partition.start512);
        ReadNumber(dir / "size", partition.size512);
        ReadDeviceNumber(dir / "dev", partition.major, partition.minor);
        partitions.push_back(partition);
    }
    std::sort(partitions.begin(), partitions.end(),
              [](const SysfsPartition& a, const SysfsPartition& b) { return a.number < b.number; });
    return partitions;
}

// The disk's device path below the sysfs root ("devices/pci0000:00/.../block/sda"),
// so that the root's own name never counts as a bus.
fs::path ResolvedBelowRoot(const fs::path& sysfsRoot, const fs::path& diskDir) {
    std::error_code error;
    fs::path root = fs::canonical(sysfsRoot, error);
    fs::path resolved = error ? diskDir : fs::canonical(diskDir, error);
    if (error) {
        return diskDir.lexically_relative(sysfsRoot);
    }
    return resolved.lexically_relative(root);
}

}  // namespace

uint32_t BusTypeFromSysfsPath(const fs::path& devicePath) {
    bool scsi = false;
    bool virtualBus = false;
    bool ata = false;
    for (const fs::path& part : devicePath) {
        std::string name = part.string();
        if (StartsWith(name, "usb")) {
            return kBlockBusUSB;
        }
        if (StartsWith(name, "ata") && name.size() > 3 &&
            std::isdigit(static_cast<unsigned char>(name[3]))) {
            ata = true;
        } else if (StartsWith(name, "nvme") || StartsWith(name, "host") ||
                   StartsWith(name, "target")) {
            scsi = true;
        } else if (StartsWith(name, "virtio") || name == "virtual") {
            virtualBus = true;
        }
    }
    if (ata) {
        return kBlockBusATA;
    }
    if (virtualBus) {
        return kBlockBusVirtual;
    }
    return scsi ? kBlockBusSCSI : kBlockBusUnknown;
}

namespace {

// Reads the disk below `diskDir` into `disk`; false when it is left out or unreadable.
bool ReadSysfsDisk(const fs::path& sysfsRoot, const fs::path& diskDir, SysfsDisk& disk) {
    disk.kernelName = diskDir.filename().string();
    if (IsLeftOutByName(disk.kernelName) || IsOptical(diskDir)) {
        return false;
    }
    if (StartsWith(disk.kernelName, "loop") &&
        ReadLine(diskDir / "loop" / "backing_file").empty()) {
        return false;
    }
    disk.name = NodeName(diskDir, disk.kernelName);
    if (!ReadNumber(diskDir / "size", disk.size512) || disk.size512 <= 0) {
        return false;
    }
    if (!ReadDeviceNumber(diskDir / "dev", disk.major, disk.minor)) {
        return false;
    }
    if (!ReadNumber(diskDir / "queue" / "logical_block_size", disk.logicalBlockSize)) {
        disk.logicalBlockSize = 512;
    }
    int readOnly = 0;
    disk.readOnly = ReadNumber(diskDir / "ro", readOnly) && readOnly != 0;
    disk.model = ModelOf(diskDir, disk.kernelName);
    disk.busType = BusTypeFromSysfsPath(ResolvedBelowRoot(sysfsRoot, diskDir));
    disk.partitions = PartitionsOf(diskDir);
    return true;
}

}  // namespace

std::optional<SysfsDisk> FindSysfsDisk(const fs::path& sysfsRoot, const std::string& name) {
    std::error_code error;
    size_t seen = 0;
    const fs::path blockDir = sysfsRoot / "block";
    for (fs::directory_iterator it(blockDir, error), end; !error && it != end && seen < kMaxEntries;
         it.increment(error), ++seen) {
        const std::string kernelName = it->path().filename().string();
        if (IsLeftOutByName(kernelName) || NodeName(it->path(), kernelName) != name) {
            continue;
        }
        SysfsDisk disk;
        if (ReadSysfsDisk(sysfsRoot, it->path(), disk)) {
            return disk;
        }
    }
    return std::nullopt;
}

std::vector<SysfsDisk> ListSysfsDisks(const fs::path& sysfsRoot) {
    std::vector<SysfsDisk> disks;
    std::error_code error;
    size_t seen = 0;
    const fs::path blockDir = sysfsRoot / "block";
    for (fs::directory_iterator it(blockDir, error), end; !error && it != end && seen < kMaxEntries;
         it.increment(error), ++seen) {
        SysfsDisk disk;
        if (ReadSysfsDisk(sysfsRoot, it->path(), disk)) {
            disks.push_back(std::move(disk));
        }
    }
    std::sort(disks.begin(), disks.end(),
              [](const SysfsDisk& a, const SysfsDisk& b) { return a.name < b.name; });
    return disks;
}

namespace {

// A path component naming a bus whose devices come and go while running.
bool IsHotPlugBus(const std::string& name) {
    return StartsWith(name, "usb") || name == "mmc_host" ||
           (StartsWith(name, "fw") && name.size() > 2 &&
            std::isdigit(static_cast<unsigned char>(name[2])));
}

}  // namespace

bool IsHotPluggableDisk(const fs::path& sysfsRoot, const std::string& kernelName) {
    if (kernelName.empty() || kernelName.find('/') != std::string::npos || kernelName == "." ||
        kernelName == "..") {
        return false;
    }
    const fs::path diskDir = sysfsRoot / "class" / "block" / kernelName;
    if (ReadLine(diskDir / "removable") == "1") {
        return true;
    }
    std::error_code error;
    const fs::path root = fs::canonical(sysfsRoot, error);
    const fs::path resolved = error ? fs::path() : fs::canonical(diskDir, error);
    if (error) {
        return false;
    }
    const fs::path below = resolved.lexically_relative(root);
    fs::path ancestor = root;
    for (const fs::path& part : below) {
        if (IsHotPlugBus(part.string())) {
            return true;
        }
        ancestor /= part;
        // PCI devices behind a hot-plug port (a Thunderbolt enclosure) say so.
        if (ReadLine(ancestor / "removable") == "removable") {
            return true;
        }
    }
    return false;
}
