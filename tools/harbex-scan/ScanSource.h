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

    IStorageDevice* base_ = nullptr;
    std::list<IStorageDevice*> volumes_;
    IStorageDevice* chosen_ = nullptr;
};

// Opens SOURCE read-only: the N-th volume of its partition table with
// --volume N; else the whole source, as a volume with its file system
// recognised for a quick scan, as a disk otherwise.
std::unique_ptr<ScanSource> OpenScanSource(const ScanOptions& options, std::string& error);
