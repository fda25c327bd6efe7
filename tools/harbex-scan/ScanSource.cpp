#include "ScanSource.h"

#include <cerrno>
#include <cstring>

#include "DiskVolumeList.h"
#include "EnumDevice.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"
#include "VolumeAnalyze.h"

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Records which file system the volume holds, as enumeration would have;
// false when none was recognised.
bool DescribeVolume(IStorageDevice* volume, const std::string& path) {
    auto* record = new CCollectedVolumeDeviceInfoStruct{};
    record->fileSystemType = FILE_SYSTEM_UNKNOWN;
    std::unique_ptr<IVolumeAnalyzeController> recognition(CreateVolumeAnalyzeController(volume, 0));
    IVolumeAnalyze* analyser = recognition ? recognition->GetVolumeAnzlyzer() : nullptr;
    if (analyser != nullptr) {
        record->fileSystemType = analyser->GetFileSystemType();
        analyser->GetLabel(record->label, sizeof(record->label));
        record->label[sizeof(record->label) - 1] = '\0';
    }
    const std::string name = record->label[0] != '\0' ? record->label : BaseName(path);
    std::strncpy(record->volumeName, name.c_str(), sizeof(record->volumeName) - 1);
    std::strncpy(record->bsdName, BaseName(path).c_str(), sizeof(record->bsdName) - 1);
    record->sectorSize = volume->GetSectorSize();
    record->sectorCount = volume->GetTotalSectors();
    record->partitionNumber = -1;
    volume->SetPrivateData(CreateVolumeDeviceData(record));
    return record->fileSystemType != FILE_SYSTEM_UNKNOWN;
}

}  // namespace

ScanSource::~ScanSource() {
    for (IStorageDevice* volume : volumes_)
        delete volume;
    delete base_;
}

bool ScanSource::OpenBase(const std::string& path, bool asVolume, std::string& error) {
    base_ = asVolume ? CreateVolumeDevice(path.c_str()) : CreateDiskDevice(path.c_str());
    if (base_ == nullptr) {
        error = "cannot use " + path + ": the path is too long";
        return false;
    }
    if (!base_->Open(nullptr)) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    if (base_->GetTotalSectors() <= 0) {
        error = path + " is empty";
        return false;
    }
    return true;
}

bool ScanSource::ReadVolumes(const std::string& path) {
    return IsSuccess(EnumDiskVolumes(base_, BaseName(path).c_str(), volumes_));
}

bool ScanSource::HasPartitionTable() const {
    // Without a table the one volume is the whole disk.
    const CCollectedVolumeDeviceInfoStruct* first =
        volumes_.empty() ? nullptr : VolumeRecordOf(volumes_.front()->GetPrivateData());
    return first != nullptr && first->partitionNumber != -1;
}

std::unique_ptr<ScanSource> OpenScanSource(const ScanOptions& options, std::string& error) {
    auto source = std::make_unique<ScanSource>();
    const bool asVolume = options.volume == 0 && options.controller == RECOVERY_CONTROLLER_DELETED;
    if (!source->OpenBase(options.source, asVolume, error))
        return nullptr;

    if (options.volume == 0) {
        // A partitioned disk has no file system of its own to read: name its volumes.
        if (asVolume && !DescribeVolume(source->base_, options.source)) {
            std::string ignored;
            ScanSource disk;
            if (disk.OpenBase(options.source, false, ignored) && disk.ReadVolumes(options.source) &&
                disk.HasPartitionTable()) {
                error = FormatDiskVolumes(options.source, disk.volumes_);
                return nullptr;
            }
        }
        source->chosen_ = source->base_;
        return source;
    }
    if (!source->ReadVolumes(options.source)) {
        error = "cannot read the partitions of " + options.source;
        return nullptr;
    }
    if (static_cast<size_t>(options.volume) > source->volumes_.size()) {
        error = options.source + " has " + std::to_string(source->volumes_.size()) +
                " volume(s), not " + std::to_string(options.volume);
        return nullptr;
    }
    auto chosen = source->volumes_.begin();
    std::advance(chosen, options.volume - 1);
    source->chosen_ = *chosen;
    return source;
}
