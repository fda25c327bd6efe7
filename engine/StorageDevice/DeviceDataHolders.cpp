#include "StorageDeviceData.h"

namespace {

// One holder class per record type: owns the record it was made with.
#define HARBEX_DEVICE_DATA_HOLDER(Name, Interface, Record, Get, Set) \
    class Name : public Interface {                                  \
    public:                                                          \
        explicit Name(Record* info) : info_(info) {}                 \
        ~Name() override { delete info_; }                           \
        Name(const Name&) = delete;                                  \
        Name& operator=(const Name&) = delete;                       \
        Record* Get() override { return info_; }                     \
        void Set(Record* info) override { info_ = info; }            \
                                                                     \
    private:                                                         \
        Record* info_;                                               \
    };

HARBEX_DEVICE_DATA_HOLDER(CDiskDeviceData, IDiskDeviceData, CCollectDiskDeviceInfoStruct,
                          GetDiskInfo, SetDiskInfo)
HARBEX_DEVICE_DATA_HOLDER(CPartitionDeviceData, IPartitionDeviceData,
                          CCollectedPartitionDeviceInfoStruct, GetPartitionInfo, SetPartitionInfo)
HARBEX_DEVICE_DATA_HOLDER(CVolumeDeviceData, IVolumeDeviceData, CCollectedVolumeDeviceInfoStruct,
                          GetVolumeInfo, SetVolumeInfo)
HARBEX_DEVICE_DATA_HOLDER(CDmgDeviceData, IDmgDeviceData, CDMGDeviceInfoStruct, GetDMGInfo,
                          SetDMGInfo)
HARBEX_DEVICE_DATA_HOLDER(COztDeviceData, IOZTDeviceData, COZTDeviceInfoStruct, GetOZTInfo,
                          SetOZTInfo)

}  // namespace

IDiskDeviceData* CreateDiskDeviceData(CCollectDiskDeviceInfoStruct* info) {
    return new CDiskDeviceData(info);
}

IPartitionDeviceData* CreatePartitionDeviceData(CCollectedPartitionDeviceInfoStruct* info) {
    return new CPartitionDeviceData(info);
}

IVolumeDeviceData* CreateVolumeDeviceData(CCollectedVolumeDeviceInfoStruct* info) {
    return new CVolumeDeviceData(info);
}

IDmgDeviceData* CreateDMGDeviceData(CDMGDeviceInfoStruct* info) {
    return new CDmgDeviceData(info);
}

IOZTDeviceData* CreateOZTDeviceData(COZTDeviceInfoStruct* info) {
    return new COztDeviceData(info);
}
