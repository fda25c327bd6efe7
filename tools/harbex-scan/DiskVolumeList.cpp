#include "DiskVolumeList.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "FoundPartitions.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"

std::string FormatByteSize(double bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
    size_t unit = 0;
    while (bytes >= 1024 && unit + 1 < std::size(kUnits)) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof(text), unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

std::string FormatDiskVolumes(const std::string& source,
                              const std::list<IStorageDevice*>& volumes) {
    const size_t count = volumes.size();
    std::string text = source + " is a disk holding " + std::to_string(count) +
                       (count == 1 ? " volume:\n" : " volumes:\n");
    char line[256];
    std::snprintf(line, sizeof(line), "  %6s  %12s  %10s  %-11s  %s\n", "volume", "start sector",
                  "size", "file system", "label");
    text += line;
    int number = 1;
    for (IStorageDevice* volume : volumes) {
        const CCollectedVolumeDeviceInfoStruct* record = VolumeRecordOf(volume->GetPrivateData());
        const std::string fileSystem =
            record != nullptr ? FileSystemName(record->fileSystemType) : "unknown";
        const std::string label =
            record != nullptr && record->label[0] != '\0'
                ? std::string(record->label, strnlen(record->label, sizeof(record->label)))
                : "-";
        const long long start = record != nullptr ? record->startSector : 0;
        const double bytes = double(volume->GetTotalSectors()) * volume->GetSectorSize();
        std::snprintf(line, sizeof(line), "  %6d  %12lld  %10s  %-11s  %s\n", number++, start,
                      FormatByteSize(bytes).c_str(), fileSystem.c_str(), label.c_str());
        text += line;
    }
    text += "choose one with --volume N, or search the whole disk with --complete";
    return text;
}
