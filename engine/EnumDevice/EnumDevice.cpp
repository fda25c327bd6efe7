#include "EnumDevice.h"

#include "EnumWalkers.h"

namespace {

class CEnumDevice : public IEnumDevice {
public:
    explicit CEnumDevice(DeviceSystemPaths paths) : paths_(std::move(paths)) {}

    RESULT_CODE EnumDiskDevice(std::list<IStorageDevice*>& disks) override {
        disks.clear();
        return CEnumDisk(paths_).ExecEnum(disks);
    }

    RESULT_CODE EnumPartitionDevice(const IStorageDevice* disk,
                                    std::list<IStorageDevice*>& partitions) override {
        partitions.clear();
        return CEnumPartition().ExecEnum(const_cast<IStorageDevice*>(disk), partitions);
    }

    RESULT_CODE EnumVolumeDevice(const IStorageDevice* disk,
                                 std::list<IStorageDevice*>& volumes) override {
        volumes.clear();
        if (disk == nullptr) {
            return kResultSuccess;
        }
        return CEnumVolume(paths_).ExecEnum(const_cast<IStorageDevice*>(disk), volumes);
    }

private:
    DeviceSystemPaths paths_;
};

}  // namespace

std::unique_ptr<IEnumDevice> MakeEnumDevice(const DeviceSystemPaths& paths) {
    return std::make_unique<CEnumDevice>(paths);
}

IEnumDevice* CreateEnumDevice() {
    static CEnumDevice instance{DeviceSystemPaths{}};
    return &instance;
}
