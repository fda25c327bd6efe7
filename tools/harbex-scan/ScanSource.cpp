#include "ScanSource.h"

#include <cerrno>
#include <cstring>

#include "EnumDevice.h"
#include "StorageDevice.h"
#include "StorageDeviceData.h"
#include "VolumeAnalyze.h"

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Records which file system the volume holds, as enumeration would have.
void DescribeVolume(IStorageDevice* volume, const std::string& path) {
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
}

}  // namespace

ScanSource::~ScanSource() {
    for (IStorageDevice* volume : volumes_)
        delete volume;
    delete base_;
}

std::unique_ptr<ScanSource> OpenScanSource(const ScanOptions& options, std::string& error) {
    auto source = std::make_unique<ScanSource>();
    const bool asVolume = options.volume == 0 && options.controller == RECOVERY_CONTROLLER_DELETED;
    const char* path = options.source.c_str();
    source->base_ = asVolume ? CreateVolumeDevice(path) : CreateDiskDevice(path);
    if (source->base_ == nullptr) {
        error = "cannot use " + options.source + ": the path is too long";
        return nullptr;
    }
    if (!source->base_->Open(nullptr)) {
        error = "cannot open " + options.source + ": " + std::strerror(errno);
        return nullptr;
    }
    if (source->base_->GetTotalSectors() <= 0) {
        error = options.source + " is empty";
        return nullptr;
    }

    if (options.volume == 0) {
        if (asVolume)
            DescribeVolume(source->base_, options.source);
        source->chosen_ = source->base_;
        return source;
    }
    const RESULT_CODE code =
        EnumDiskVolumes(source->base_, BaseName(options.source).c_str(), source->volumes_);
    if (IsFailure(code)) {
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
