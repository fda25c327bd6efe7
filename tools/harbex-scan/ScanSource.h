#pragma once

#include <list>
#include <memory>
#include <string>

#include "ScanOptions.h"

class IStorageDevice;

// The device a scan runs over, and the devices it stands on.
class ScanSource {
public:
    ScanSource() = default;
    ~ScanSource();
    ScanSource(const ScanSource&) = delete;
    ScanSource& operator=(const ScanSource&) = delete;

    IStorageDevice* device() const { return chosen_; }

private:
    friend std::unique_ptr<ScanSource> OpenScanSource(const ScanOptions&, std::string&);

    // Opens `path` read-only as a volume or a disk; false with `error` set.
    bool OpenBase(const std::string& path, bool asVolume, std::string& error);
    // The volumes of the base disk's partition table (or the whole disk).
    bool ReadVolumes(const std::string& path);
    bool HasPartitionTable() const;

    IStorageDevice* base_ = nullptr;
    std::list<IStorageDevice*> volumes_;
    IStorageDevice* chosen_ = nullptr;
};

// Opens SOURCE read-only: the N-th volume of its partition table with
// --volume N; else the whole source, as a volume with its file system
// recognised for a quick scan, as a disk otherwise. A quick scan of a disk
// with a partition table and no --volume is refused with a list of its volumes.
std::unique_ptr<ScanSource> OpenScanSource(const ScanOptions& options, std::string& error);
