#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "DeviceInfo.h"

class IEnumDeviceEx;
class IStorageDevice;

// One disk, volume or image of the device list. The text pointers point into
// the engine's description of the device and stay valid while it exists.
struct _DiskVolumeData {
    const char* name = nullptr;
    // The kernel name of a disk or volume; the file path of an image.
    const char* bsdName = nullptr;
    uint64_t capacity = 0;
    uint64_t used = 0;
    int32_t diskIndex = -1;
    int32_t volumeIndex = -1;  // -1 for a disk or image
    int32_t fileSystem = -1;   // enumFILE_SYSTEM_TYPE of a volume
    int32_t isDmg = 0;         // a disk image the system attached
    int32_t isSSD = 0;
    int32_t isUSB = 0;  // an external medium: USB, memory card, FireWire...
    int32_t beCanOpen = 1;
    int32_t isOzt = 0;
    COZTDeviceInfoStruct* oztInfo = nullptr;
    int32_t oztInfoLength = -1;
    int32_t isAppleDmg = 0;
    CDMGDeviceInfoStruct* dmgInfo = nullptr;
    int32_t dmgInfoLength = -1;
    std::list<_DiskVolumeData> volumes;
    // What identifies the device when indexes shift as media come and go:
    // the device number the engine gives it (0 for image files; a partition
    // read through its disk has the disk's), a volume's first sector on its
    // disk, and the sysfs folder of the block device (empty when it has none).
    int32_t deviceNumber = 0;
    int64_t startSector = -1;
    std::string sysfsPath;
};

// The interface's device model: the disks and volumes the engine enumerates,
// then the image files the user opened, numbered so that windows can name a
// device by a disk index and a volume index.
class KvUIDeviceData {
public:
    enum InitState : int {
        kNotBuilt = 0,
        kBuilding = 1,
        kBuilt = 2,
        kFailed = 3,  // enumeration failed; a new request builds again
    };

    static KvUIDeviceData* instance();

    // A model over `enumerator` (not owned); `sysfsRoot` is where the block
    // devices' folders are looked up.
    explicit KvUIDeviceData(IEnumDeviceEx* enumerator, std::string sysfsRoot = "/sys");
    virtual ~KvUIDeviceData();
    KvUIDeviceData(const KvUIDeviceData&) = delete;
    KvUIDeviceData& operator=(const KvUIDeviceData&) = delete;

    // Forgets the devices and enumerates with `enumerator` (not owned) from
    // now on; the model is then not built.
    void UseEnumerator(IEnumDeviceEx* enumerator);
    // Enumerates; true when the model was built.
    bool InitDeviceInfo();
    int GetInitState();
    // Moves a model that is not built (or failed) to "being built" in one
    // step; false when it is built or being built.
    bool BeginBuilding();
    // Forgets every enumerated device (the enumerator releases them).
    void Clear();
    void GetDiskStorageMap(int force);
    void GetVolumeStorageMap(int force);

    // The USB disks with their volumes, for the device page.
    void GetAllDeviceInfo(std::list<_DiskVolumeData>& list);
    void GetDiskVolumeInfo(IStorageDevice* disk, std::list<_DiskVolumeData>& list);
    int GetDiskDataByStorage(IStorageDevice* device, _DiskVolumeData& record);
    int GetVolumeDataByStorage(IStorageDevice* device, _DiskVolumeData& record);
    // The disk's or the volume's record, whichever the device is.
    int GetDataByStorage(IStorageDevice* device, _DiskVolumeData& record);
    static int GetDiskDataByDiskInfo(CCollectDiskDeviceInfoStruct* info, _DiskVolumeData& record);
    static int GetVolumeDataByVolumeInfo(CCollectedVolumeDeviceInfoStruct* info,
                                         _DiskVolumeData& record);
    static int GetDiskDataByOztInfo(COZTDeviceInfoStruct* info, _DiskVolumeData& record);
    static int GetDiskDataByDmgInfo(CDMGDeviceInfoStruct* info, _DiskVolumeData& record);

    int IsDiskStorage(IStorageDevice* device);
    static CCollectedVolumeDeviceInfoStruct* GetStorageVolumeInfo(IStorageDevice* device);
    CCollectedVolumeDeviceInfoStruct* GetVolumeInfo(IStorageDevice* device);
    int IsVolumeStorageSupported(IStorageDevice* device);
    // Not supported: the EFI System and Apple Boot partitions of a GPT disk and
    // the map and free entries of an Apple partition map.
    static int IsSupportVolume(CCollectedVolumeDeviceInfoStruct* info);
    void GetDiskVolumeStorage(IStorageDevice* disk, std::list<IStorageDevice*>& volumes);
    IStorageDevice* GetStorageByDiskVolumeIndex(int disk, int volume);
    IStorageDevice* GetDiskStorageByIndex(int index);
    IStorageDevice* GetVolumeStorageByIndex(IStorageDevice* disk, int index);
    int GetDiskIndexByStorage(IStorageDevice* device);
    int GetVolumeIndexByStorage(IStorageDevice* disk, IStorageDevice* volume);
    IStorageDevice* GetDiskStorageByVolumeStorage(IStorageDevice* volume);
    bool GetDiskVolumeIndexByStorage(IStorageDevice* device, int& disk, int& volume);

    // The device a record names, found by its identity (device number, or the
    // path of an image) rather than by indexes that may have shifted since the
    // record was made; null when it is gone.
    IStorageDevice* GetStorageByRecord(const _DiskVolumeData& record);
    // The disk or volume with that sysfs folder, null when none.
    IStorageDevice* GetStorageBySysfsPath(const std::string& path);

    int KvOpenOztFileImp(const char* path);
    int KvOpenDmgFileImp(const char* path, CDMGDeviceInfoStruct info);
    int KvCheckOztFileExist(IStorageDevice* device);
    int KvCheckDmgFileExist(IStorageDevice* device);
    IStorageDevice* GetStorageByOztInfo(void* info, int length, const char* path);
    IStorageDevice* GetStorageByDmgInfo(void* info, int length, const char* path);

private:
    IStorageDevice* DiskByIndexLocked(int index);
    void ImageDevicesLocked(std::vector<IStorageDevice*>& devices);
    std::string SysfsPathOf(const char* kernelName) const;
    static const char* KernelNameOf(IStorageDevice* device);

    IEnumDeviceEx* enumerator_;
    std::string sysfsRoot_;
    // Guards the maps, the image lists and the state: the list is built on a
    // background thread while the main thread may ask.
    std::recursive_mutex lock_;
    // Serialises enumerations, which run without `lock_` held.
    std::mutex enumerateLock_;
    std::map<unsigned int, IStorageDevice*> disks_;
    std::map<IStorageDevice*, std::list<IStorageDevice*>> volumes_;
    int initState_ = kNotBuilt;
    bool enumerated_ = false;                 // the enumerator holds a listing
    std::vector<IStorageDevice*> oztImages_;  // owned
    std::vector<IStorageDevice*> dmgImages_;  // owned
};
