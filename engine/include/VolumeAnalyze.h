#pragma once

#include <functional>
#include <vector>

#include "EngineTypes.h"

class IStorageDevice;

// One file system's answer to "what does the volume at this start sector hold".
class IVolumeAnalyze {
public:
    virtual ~IVolumeAnalyze() = default;
    // FILE_SYSTEM_UNKNOWN (10) when the volume is not this analyser's.
    virtual enumFILE_SYSTEM_TYPE GetFileSystemType() = 0;
    virtual unsigned long long GetTotalSector() = 0;
    // Copies the volume label, NUL-terminated, into `buffer` of `size` bytes.
    virtual void GetLabel(char* buffer, int size) = 0;
};

// Owns the analysers it made; one it hands out dies with it.
class IVolumeAnalyzeController {
public:
    virtual ~IVolumeAnalyzeController() = default;
    // The first analyser that recognises the volume, or null.
    virtual IVolumeAnalyze* GetVolumeAnzlyzer() = 0;
};

// Makes one file system's analyser for the volume at a start sector of a device;
// null when that file system rules the volume out at once.
using VolumeAnalyzeFactory = std::function<IVolumeAnalyze*(IStorageDevice*, unsigned long long)>;

// The registered factories in the order they are asked: FAT, exFAT, NTFS,
// HFS+, APFS (each file system adds its line when it is built).
const std::vector<VolumeAnalyzeFactory>& DefaultVolumeAnalyzeFactories();

// A controller that has asked every registered factory for the volume at
// `startSector` of `device`. The caller deletes it.
IVolumeAnalyzeController* CreateVolumeAnalyzeController(IStorageDevice* device,
                                                        unsigned long long startSector);

// The same with the given factories in place of the registered ones.
IVolumeAnalyzeController* CreateVolumeAnalyzeController(
    IStorageDevice* device, unsigned long long startSector,
    const std::vector<VolumeAnalyzeFactory>& factories);

// Replaces the registered factories for the life of the object (tests that
// exercise recognition through other modules).
class ScopedVolumeAnalyzeFactories {
public:
    explicit ScopedVolumeAnalyzeFactories(std::vector<VolumeAnalyzeFactory> factories);
    ~ScopedVolumeAnalyzeFactories();
    ScopedVolumeAnalyzeFactories(const ScopedVolumeAnalyzeFactories&) = delete;
    ScopedVolumeAnalyzeFactories& operator=(const ScopedVolumeAnalyzeFactories&) = delete;

private:
    std::vector<VolumeAnalyzeFactory> previous_;
};
