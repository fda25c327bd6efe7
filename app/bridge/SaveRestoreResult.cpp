#include "SaveRestoreResult.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <list>
#include <memory>
#include <new>

#include "CRSData.h"
#include "DataRecovery.h"
#include "EngineLog.h"
#include "FileNode.h"
#include "KvMakeDMG.h"
#include "KvUIDeviceData.h"
#include "KvUIScan.h"
#include "Progress.h"
#include "RSFields.h"
#include "RecoveryController.h"
#include "ScanResultNodes.h"
#include "ScanResultSink.h"
#include "SearchedPartitionInfo.h"
#include "StorageDevice.h"

namespace SaveRestoreResult {

namespace {

constexpr uint32_t kControllerListLength = 8;
constexpr uint32_t kNoBlock = 0xFFFFFFFF;
constexpr uint32_t kMaxDeviceName = 4095;
// Opens what identifies a real device, after the image blocks: files written
// before it ends the frame there.
constexpr uint32_t kIdentityTag = 0x44494248;  // "HBID"
// More nodes than any scan finds: a tree with a loop in its links ends here.
constexpr uint64_t kMostNodesPerRoot = 100'000'000;

// The progress of one save or load: a bar that creeps from 5 towards 98 of
// 100 at most every 100 ms and jumps to 100 with the final record.
class OperationProgress {
public:
    explicit OperationProgress(IProgress* sink) : sink_(sink) {}

    void Start() {
        error_ = 0;
        record_ = _PROGRESS_INFO{};
        record_.state = PROGRESS_STATE_RUNNING;
        record_.total = 100;
        record_.done = 5;
        Report(record_);
    }
    void Step() {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastStep_ < std::chrono::milliseconds(100))
            return;
        lastStep_ = now;
        if (record_.done + 2 < record_.total)
            ++record_.done;
        Report(record_);
    }
    // Keeps the code for the final record and reports it at once.
    int Fail(int code) {
        error_ = code;
        _PROGRESS_INFO failed{};
        failed.state = PROGRESS_STATE_FINISHED;
        failed.total = 100;
        failed.done = 100;
        failed.result = static_cast<RESULT_CODE>(static_cast<int64_t>(code));
        Report(failed);
        return code;
    }
    int Finish() {
        record_.state = PROGRESS_STATE_FINISHED;
        record_.result = static_cast<RESULT_CODE>(static_cast<int64_t>(error_));
        record_.done = record_.total;
        Report(record_);
        return error_;
    }
    bool Continued() { return sink_->Continued() != 0; }

private:
    void Report(_PROGRESS_INFO& record) { sink_->UpdateProgress(&record); }

    IProgress* sink_;
    _PROGRESS_INFO record_{};
    int error_ = 0;
    std::chrono::steady_clock::time_point lastStep_{};
};

struct StoppedByCaller {};

void WriteOztBlock(const COZTDeviceInfoStruct& info, RSFieldWriter& out) {
    // The block as an ozt image file holds it, after its 8-byte tag.
    const std::string header = KvMakeDMG::OztHeader(info);
    out.Bytes(header.data() + 8, sizeof(COZTDeviceInfoStruct));
}

COZTDeviceInfoStruct ReadOztBlock(RSFieldReader& in) {
    COZTDeviceInfoStruct info{};
    info.sectorSize = in.U32();
    info.sectorSizeHigh = in.U32();
    info.sectorCount = in.I64();
    info.dataOffset = in.I64();
    info.imageFileLength = in.I64();
    in.Bytes(info.deviceName, sizeof info.deviceName);
    in.Bytes(info.imagePath, sizeof info.imagePath);
    info.timeStamp = in.U64();
    info.deviceName[sizeof info.deviceName - 1] = '\0';
    info.imagePath[sizeof info.imagePath - 1] = '\0';
    return info;
}

void WriteDmgBlock(const CDMGDeviceInfoStruct& info, RSFieldWriter& out) {
    out.U32(info.sectorSize);
    out.U32(info.sectorSizeHigh);
    out.I64(info.sectorCount);
    out.I64(info.dataOffset);
    out.I64(info.imageFileLength);
    out.Bytes(info.fileName, sizeof info.fileName);
    out.Bytes(info.imagePath, sizeof info.imagePath);
}

CDMGDeviceInfoStruct ReadDmgBlock(RSFieldReader& in) {
    CDMGDeviceInfoStruct info{};
    info.sectorSize = in.U32();
    info.sectorSizeHigh = in.U32();
    info.sectorCount = in.I64();
    info.dataOffset = in.I64();
    info.imageFileLength = in.I64();
    in.Bytes(info.fileName, sizeof info.fileName);
    in.Bytes(info.imagePath, sizeof info.imagePath);
    info.fileName[sizeof info.fileName - 1] = '\0';
    info.imagePath[sizeof info.imagePath - 1] = '\0';
    return info;
}

// The description the device model gives of the scanned device.
_DiskVolumeData DescribeDevice(IStorageDevice* device) {
    _DiskVolumeData data;
    KvUIDeviceData::instance()->GetDataByStorage(device, data);
    return data;
}

// The model name of the disk `device` is, or lies on.
std::string DiskModelOf(IStorageDevice* device, const _DiskVolumeData& data) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    if (data.volumeIndex >= 0) {
        if (IStorageDevice* disk = model->GetDiskStorageByVolumeStorage(device)) {
            const _DiskVolumeData parent = DescribeDevice(disk);
            return parent.name != nullptr ? parent.name : "";
        }
    }
    return data.name != nullptr ? data.name : "";
}

std::string ReadString(RSFieldReader& in) {
    const uint32_t length = in.U32();
    if (length > kMaxDeviceName)
        throw CRSException(RS_ERROR_RECORD_DAMAGED);
    std::string text(length, '\0');
    in.Bytes(text.data(), length);
    text.resize(std::strlen(text.c_str()));
    return text;
}

void WriteDiskDevice(IRSData& archive, IStorageDevice* device) {
    const _DiskVolumeData data = DescribeDevice(device);
    archive.OpenFrame(_frDiskDevice);
    RSFieldWriter out(archive);
    out.U64(data.capacity);
    out.U32(static_cast<uint32_t>(data.diskIndex));
    out.U32(static_cast<uint32_t>(data.volumeIndex));
    out.U32(static_cast<uint32_t>(data.fileSystem));
    const char* name = data.name != nullptr ? data.name : "";
    out.String(name, std::strlen(name));
    const bool dmg = data.isAppleDmg != 0 && data.dmgInfo != nullptr;
    out.U32(dmg ? 1 : 0);
    out.U32(dmg ? sizeof(CDMGDeviceInfoStruct) : kNoBlock);
    if (dmg)
        WriteDmgBlock(*data.dmgInfo, out);
    const bool ozt = data.isOzt != 0 && data.oztInfo != nullptr;
    out.U32(ozt ? 1 : 0);
    out.U32(ozt ? sizeof(COZTDeviceInfoStruct) : kNoBlock);
    if (ozt)
        WriteOztBlock(*data.oztInfo, out);
    out.U32(kIdentityTag);
    out.U32(static_cast<uint32_t>(data.deviceNumber));
    out.I64(data.startSector);
    out.String(data.bsdName != nullptr ? data.bsdName : "");
    out.String(DiskModelOf(device, data));
    archive.CloseFrame();
}

// Every node below the root, parents before their children, siblings in
// their order.
void WriteTree(IFileNode* root, RSFieldWriter& out, OperationProgress& report) {
    std::deque<IFileNode*> folders{root};
    uint64_t written = 0;
    while (!folders.empty()) {
        IFileNode* folder = folders.front();
        folders.pop_front();
        for (IFileNode* child = folder->GetFirstChild(); child != nullptr;
             child = child->GetNextNode()) {
            if (++written > kMostNodesPerRoot)
                throw CRSException(RS_ERROR_RECORD_DAMAGED);
            out.U32(kNodeMarker);
            RestoreFileNode::WriteFileNode(*child, out);
            if (child->IsDirectory())
                folders.push_back(child);
            report.Step();
        }
        if (!report.Continued())
            throw StoppedByCaller{};
    }
}

void WriteRoot(IFileNode* root, _RECOVERY_CONTROLLER_TYPE controllerType, RSFieldWriter& out,
               OperationProgress& report) {
    KvUIScan* scan = KvUIScan::instance();
    out.U32(kRootMarker);
    RestoreSystemNode::WriteSystemNode(*root, out);
    report.Step();

    // A quick scan keeps one copy-out object per root; a complete scan makes
    // one per searcher type on request.
    std::unique_ptr<IDataRecovery, void (*)(IDataRecovery*)> made(
        nullptr, [](IDataRecovery* recovery) { recovery->Release(); });
    IDataRecovery* recovery = nullptr;
    if (controllerType == RECOVERY_CONTROLLER_DELETED) {
        recovery = scan->GetFileNodeDataRecover(root);
    } else if (IRecoveryController* controller = scan->GetRecoveryController()) {
        made.reset(controller->GetDataRecovery(root->GetSearcheType()));
        recovery = made.get();
    }
    const std::vector<CSearchedPartitionInfo*> none;
    const auto& partitions = recovery != nullptr ? recovery->GetSearchedPartition() : none;
    if (partitions.empty()) {
        // Without partitions the files could not be copied out after a load.
        out.U32(0);
        out.U32(kEndMarker);
        return;
    }
    const uint32_t count =
        static_cast<uint32_t>(std::min<size_t>(partitions.size(), kMaxPartitions));
    out.U32(count);
    for (uint32_t i = 0; i < count; ++i) {
        const CSearchedPartitionInfo& partition = *partitions[i];
        out.U32(partition.GetType());
        WritePartitionRecord(partition, out);
        CatchExeception::WriteLog("%s:%d partition index:%d fileSystemType%d start:%lld end:%lld\n",
                                  "WriteRoot", __LINE__, partition.partitionIndex,
                                  partition.fileSystemType,
                                  static_cast<long long>(partition.firstDataSector),
                                  static_cast<long long>(partition.totalSectors));
    }
    WriteTree(root, out, report);
    out.U32(kEndMarker);
}

void WriteResult(IRSData& archive, OperationProgress& report) {
    KvUIScan* scan = KvUIScan::instance();
    FILEHEADER header;
    header.status = FILE_STATUS_SAVED;
    if (!archive.WriteFileHeader(header))
        throw CRSException(RS_ERROR_WRITE_FRAME);
    report.Step();

    IStorageDevice* device = scan->GetSavedStorage();
    const _RECOVERY_CONTROLLER_TYPE controllerType = scan->GetScanControllerType(device);
    archive.OpenFrame(_frFileSystemSearchControllerList);
    {
        RSFieldWriter out(archive);
        out.U32(kControllerListLength);
        out.U32(static_cast<uint32_t>(controllerType));
        out.U32(static_cast<uint32_t>(scan->IsDeepScan()));
    }
    archive.CloseFrame();
    report.Step();

    WriteDiskDevice(archive, device);
    report.Step();

    const std::vector<IFileNode*> roots = scan->GetFileSystemNode();
    archive.OpenFrame(_frFileSystemNode);
    RSFieldWriter out(archive);
    out.U64(roots.size());
    for (IFileNode* root : roots) {
        if (!report.Continued())
            throw StoppedByCaller{};
        WriteRoot(root, controllerType, out, report);
    }
    archive.CloseFrame();
}

SavedDevice ReadDiskDevice(IRSData& archive) {
    archive.OpenFrame(_frDiskDevice);
    RSFieldReader in(archive);
    SavedDevice saved;
    saved.capacity = in.U64();
    saved.diskIndex = static_cast<int32_t>(in.U32());
    saved.volumeIndex = static_cast<int32_t>(in.U32());
    saved.fileSystem = static_cast<int32_t>(in.U32());
    saved.name = ReadString(in);

    // A block of another length is passed over: the image cannot be found from it.
    saved.dmg = in.U32() != 0;
    if (const uint32_t length = in.U32(); length != kNoBlock) {
        if (length == sizeof(CDMGDeviceInfoStruct))
            saved.dmgInfo = ReadDmgBlock(in);
        else
            in.Skip(length);
    }
    saved.ozt = in.U32() != 0;
    if (const uint32_t length = in.U32(); length != kNoBlock) {
        if (length == sizeof(COZTDeviceInfoStruct))
            saved.oztInfo = ReadOztBlock(in);
        else
            in.Skip(length);
    }
    if (in.Remaining() >= sizeof kIdentityTag && in.U32() == kIdentityTag) {
        SavedIdentity identity;
        identity.deviceNumber = static_cast<int32_t>(in.U32());
        identity.startSector = in.I64();
        identity.kernelName = ReadString(in);
        identity.diskModel = ReadString(in);
        saved.identity = identity;
    }
    archive.CloseFrame();
    return saved;
}

ScannedDevice DescribeScanned(IStorageDevice* device) {
    ScannedDevice scanned;
    // The name the tree builder gives the volume of its result trees.
    scanned.name = GetDeviceDescription(device);
    if (scanned.name.empty())
        scanned.name = "Disk";
    scanned.wholeDisk = KvUIDeviceData::instance()->IsDiskStorage(device) != 0;
    scanned.dmgImage = device != nullptr && device->GetType() == kStorageDeviceDmg;
    return scanned;
}

int RunSave(const char* path, OperationProgress& report) {
    std::unique_ptr<CRSData> archive(new (std::nothrow) CRSData(RS_MODE_WRITE));
    if (!archive)
        return report.Fail(kSaveNoArchive);
    report.Step();
    if (!archive->StartRS(path, 1))
        return report.Fail(kSaveNotOpened);
    report.Step();
    int error = 0;
    try {
        WriteResult(*archive, report);
    } catch (const CRSException& e) {
        CatchExeception::WriteLog("%s archive error %u\r\n", "RunSave", e.GetErrorcode());
        error = kSaveWriteFailed;
    } catch (const std::bad_alloc&) {
        error = kSaveWriteFailed;
    } catch (const StoppedByCaller&) {
        error = kSaveStopped;
    }
    archive->EndRS();
    if (error != 0) {
        // A result cut short must not be taken for a whole one later.
        ::unlink(path);
        return report.Fail(error);
    }
    return 0;
}

// Reads the header and the first two frames and finds the device; the code
// of the first failure, else 0 with `device` and `deep` set.
// An image reopened from its saved block is `ownDevice`: the load's own.
int ReadPreamble(IRSData& archive, const char* path, const char* imagePath,
                 OperationProgress& report, IStorageDevice*& device, bool& ownDevice,
                 uint32_t& deep) {
    try {
        FILEHEADER header;
        if (!archive.ReadFileHeader(header) || archive.GetStatus() == FILE_STATUS_NONE)
            return kLoadBadHeader;
    } catch (const CRSException&) {
        return kLoadBadHeader;
    }
    report.Step();

    try {
        archive.OpenFrame(_frFileSystemSearchControllerList);
        RSFieldReader in(archive);
        if (in.U32() != kControllerListLength)
            return kLoadNoControllerList;
        in.U32();  // the controller type follows from the device and the deep flag
        deep = in.U32();
        archive.CloseFrame();
    } catch (const CRSException&) {
        return kLoadNoControllerList;
    }
    report.Step();

    SavedDevice saved;
    try {
        saved = ReadDiskDevice(archive);
    } catch (const CRSException&) {
        return kLoadNoDiskDevice;
    }
    KvUIScan* scan = KvUIScan::instance();
    scan->SetDmgRsf(saved.dmg && saved.dmgInfo ? 1 : 0);
    scan->SetOztRsf(saved.ozt && saved.oztInfo ? 1 : 0);
    report.Step();

    device = GetFromDiskVolumeData(saved, imagePath, path);
    if (device == nullptr)
        return saved.ozt ? kLoadOztDeviceMissing : kLoadDeviceMissing;
    ownDevice = saved.ozt || saved.dmg;
    report.Step();
    return 0;
}

int RunLoad(const char* path, const char* imagePath, OperationProgress& report) {
    KvUIScan* scan = KvUIScan::instance();
    scan->ClearData();
    std::unique_ptr<CRSData> archive(new (std::nothrow) CRSData(RS_MODE_READ));
    if (!archive)
        return report.Fail(kLoadNoArchive);
    report.Step();
    if (!archive->StartRS(path, 0))
        return report.Fail(kLoadNotOpened);
    report.Step();

    IStorageDevice* device = nullptr;
    bool ownDevice = false;
    uint32_t deep = 0;
    const int error = ReadPreamble(*archive, path, imagePath, report, device, ownDevice, deep);
    // A drive or image that cannot be found still lets its saved trees be
    // looked through.
    if (error != 0 && error != kLoadDeviceMissing && error != kLoadOztDeviceMissing)
        return report.Fail(error);
    std::unique_ptr<IStorageDevice> opened(ownDevice ? device : nullptr);

    // The saved trees are read and checked whole before the scan starts, so
    // a damaged file changes nothing.
    auto sink = std::make_unique<CRestoreScanSink>(archive.get(), DescribeScanned);
    if (!sink->ReadNodeFrame())
        return report.Fail(kLoadDamaged);
    archive->EndRS();
    report.Step();

    scan->SetDeepScan(static_cast<int>(deep));
    if (device == nullptr) {
        // Linked as the scan's controller would link them: a quick scan's
        // trees as a scan, a deep scan's as a restore.
        scan->ListWithoutDevice(deep != 0, [&sink](const auto& builderFor, IProgress* progress) {
            sink->ReplayWithoutDevice(builderFor, progress);
        });
    } else {
        scan->DoScan(device, sink.get());
    }
    scan->SetOpTreeFinished(1);
    scan->KeepLoadedResult(std::move(sink), std::move(opened));
    return 0;
}

void* Static_SaveScanResult(void* argument);
void* Static_RestoreScanResult(void* argument);

// What a thread is started with; the thread owns it.
struct OperationPara {
    std::string path;
    IProgress* progress = nullptr;
    bool hasImagePath = false;
    std::string imagePath;
};

int StartDetached(void* (*body)(void*), OperationPara* para) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int started = pthread_create(&thread, &attributes, body, para);
    pthread_attr_destroy(&attributes);
    if (started != 0) {
        delete para;
        return -2;
    }
    return 0;
}

void* Static_SaveScanResult(void* argument) {
    std::unique_ptr<OperationPara> para(static_cast<OperationPara*>(argument));
    SaveScanResult(para->path.c_str(), para->progress);
    return nullptr;
}

void* Static_RestoreScanResult(void* argument) {
    std::unique_ptr<OperationPara> para(static_cast<OperationPara*>(argument));
    RestoreScanResult(para->path.c_str(), para->progress,
                      para->hasImagePath ? para->imagePath.c_str() : nullptr);
    return nullptr;
}

}  // namespace

int SaveScanResult(const char* path, IProgress* progress) {
    OperationProgress report(progress);
    report.Start();
    CatchExeception::WriteLog("%s %d\r\n", "Static_SaveScanResult", 1);
    RunSave(path, report);
    CatchExeception::WriteLog("%s %d\r\n", "Static_SaveScanResult", 2);
    KvUIScan::instance()->ReleaseResults();
    return report.Finish();
}

int RestoreScanResult(const char* path, IProgress* progress, const char* imagePath) {
    OperationProgress report(progress);
    report.Start();
    CatchExeception::WriteLog("%s %d\r\n", "Static_RestoreScanResult", 1);
    try {
        RunLoad(path, imagePath, report);
    } catch (const std::bad_alloc&) {
        report.Fail(kLoadDamaged);
    }
    CatchExeception::WriteLog("%s %d\r\n", "Static_RestoreScanResult", 2);
    return report.Finish();
}

IStorageDevice* GetFromDiskVolumeData(const SavedDevice& saved, const char* imagePath,
                                      const char* archivePath) {
    KvUIDeviceData* model = KvUIDeviceData::instance();
    if (saved.ozt) {
        if (!saved.oztInfo)
            return nullptr;
        COZTDeviceInfoStruct block = *saved.oztInfo;
        return model->GetStorageByOztInfo(&block, sizeof block, imagePath);
    }
    if (saved.dmg) {
        if (!saved.dmgInfo)
            return nullptr;
        CDMGDeviceInfoStruct block = *saved.dmgInfo;
        return model->GetStorageByDmgInfo(&block, sizeof block, archivePath);
    }
    if (model->GetInitState() != KvUIDeviceData::kBuilt)
        model->InitDeviceInfo();
    std::list<_DiskVolumeData> disks;
    model->GetAllDeviceInfo(disks);
    const _DiskVolumeData* found = MatchSavedDevice(saved, disks);
    if (found == nullptr)
        return nullptr;
    return model->GetStorageByDiskVolumeIndex(found->diskIndex, found->volumeIndex);
}

namespace {

std::string NameOf(const _DiskVolumeData& data) {
    return data.name != nullptr ? data.name : "";
}

// The one record `fits` accepts among the listed disks and volumes, with the
// disk each lies on; null when none or more than one does.
template <typename Fits>
const _DiskVolumeData* OnlyFitting(const std::list<_DiskVolumeData>& disks, Fits fits) {
    const _DiskVolumeData* found = nullptr;
    int count = 0;
    for (const _DiskVolumeData& disk : disks) {
        if (fits(disk, disk)) {
            found = &disk;
            ++count;
        }
        for (const _DiskVolumeData& volume : disk.volumes) {
            if (fits(volume, disk)) {
                found = &volume;
                ++count;
            }
        }
    }
    return count == 1 ? found : nullptr;
}

}  // namespace

const _DiskVolumeData* MatchSavedDevice(const SavedDevice& saved,
                                        const std::list<_DiskVolumeData>& disks) {
    const bool wantVolume = saved.volumeIndex >= 0;
    if (saved.identity) {
        const SavedIdentity& id = *saved.identity;
        // The same kind of device, as large, at the same place on a disk of
        // the same model: the medium itself, whatever number it has today.
        const auto same = [&](const _DiskVolumeData& record, const _DiskVolumeData& disk) {
            const bool volume = &record != &disk;
            return volume == wantVolume && record.capacity == saved.capacity &&
                   NameOf(disk) == id.diskModel &&
                   (!volume || record.startSector == id.startSector);
        };
        if (const _DiskVolumeData* only = OnlyFitting(disks, same))
            return only;
        // Two such media at once: the one at the saved device number and
        // node, or none rather than the wrong one.
        return OnlyFitting(disks, [&](const _DiskVolumeData& record, const _DiskVolumeData& disk) {
            return same(record, disk) && record.deviceNumber == id.deviceNumber &&
                   record.bsdName != nullptr && id.kernelName == record.bsdName;
        });
    }
    // A file from before devices were identified: name, file system and size
    // must all agree, and only one device may have them.
    return OnlyFitting(disks, [&](const _DiskVolumeData& record, const _DiskVolumeData& disk) {
        const bool volume = &record != &disk;
        return volume == wantVolume && NameOf(record) == saved.name &&
               record.fileSystem == saved.fileSystem && record.capacity == saved.capacity;
    });
}

}  // namespace SaveRestoreResult

int DoSaveScanResult(const char* path, IProgress* progress) {
    if (path == nullptr || progress == nullptr)
        return -1;
    // The writer walks the found trees: no scan may change or release them
    // until it has done.
    if (!KvUIScan::instance()->AcquireResults()) {
        SaveRestoreResult::OperationProgress report(progress);
        report.Start();
        report.Fail(SaveRestoreResult::kSaveScanRunning);
        report.Finish();
        return -3;
    }
    auto* para = new SaveRestoreResult::OperationPara{path, progress, false, {}};
    const int started =
        SaveRestoreResult::StartDetached(SaveRestoreResult::Static_SaveScanResult, para);
    if (started != 0)
        KvUIScan::instance()->ReleaseResults();
    return started;
}

int DoRestoreScanResult(const char* path, IProgress* progress, const char* imagePath) {
    if (path == nullptr || progress == nullptr)
        return -1;
    auto* para = new SaveRestoreResult::OperationPara{path, progress, imagePath != nullptr,
                                                      imagePath != nullptr ? imagePath : ""};
    return SaveRestoreResult::StartDetached(SaveRestoreResult::Static_RestoreScanResult, para);
}
