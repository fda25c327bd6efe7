#include "KvUIRecovery.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <list>

#include "DataRecovery.h"
#include "DeviceInfo.h"
#include "FileNode.h"
#include "FileReader.h"
#include "FileTimeStamps.h"
#include "KvCPPPublic.h"
#include "KvRecoveryTargetPath.h"
#include "KvUIDeviceData.h"
#include "KvUIScan.h"
#include "RecoveryController.h"

namespace {

// The searcher types that have a copy-out object, in the order they are made.
constexpr _tagSearcherType kCopyOutTypes[] = {
    SEARCHER_HFSPLUS, SEARCHER_FAT,        SEARCHER_EXFAT, SEARCHER_RAW_BY_TYPE,
    SEARCHER_NTFS,    SEARCHER_RAW_BY_TAG, SEARCHER_APFS,
};

// An empty file needs no reading: it is whole once it exists with its times.
bool MakeEmptyFile(const std::string& path, IFileNode* node) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    if (close(fd) != 0) {
        unlink(path.c_str());
        return false;
    }
    ApplyNodeTimes(path.c_str(), node);
    return true;
}

// A device record's number for a stat device number (major in the top byte).
int32_t DeviceIdOf(dev_t device) {
    return static_cast<int32_t>(major(device) << 24 | minor(device));
}

bool VolumeHasDeviceId(IStorageDevice* volume, int32_t id) {
    const CCollectedVolumeDeviceInfoStruct* info = KvUIDeviceData::GetStorageVolumeInfo(volume);
    return info != nullptr && info->deviceId != 0 && info->deviceId == id;
}

}  // namespace

KvUIRecovery* KvUIRecovery::instance() {
    static KvUIRecovery recovery;
    return &recovery;
}

KvUIRecovery::KvUIRecovery() {
    ResetParam();
}

KvUIRecovery::~KvUIRecovery() {
    ReleaseDataRecovery();
}

// The engine's copy-out objects are made and released without the lock held:
// their own lock is held around the progress reports that take this one.
void KvUIRecovery::InitDataRecoveryController() {
    // Asked before the lock is taken: the scan holds its own lock while it
    // makes copy-out objects.
    IRecoveryController* scanned = KvUIScan::instance()->GetRecoveryController();
    IRecoveryController* controller = nullptr;
    std::map<_tagSearcherType, IDataRecovery*> made;
    {
        std::lock_guard hold(lock_);
        if (controller_ == nullptr)
            controller_ = scanned;
        controller = controller_;
        made = dataRecoveries_;
    }
    if (controller == nullptr)
        return;
    for (_tagSearcherType type : kCopyOutTypes) {
        if (made.count(type) != 0)
            continue;
        // Files filed by content tag are found by the signature search, which
        // the controller knows by its by-type tree.
        const _tagSearcherType asked = type == SEARCHER_RAW_BY_TAG ? SEARCHER_RAW_BY_TYPE : type;
        if (IDataRecovery* recovery = controller->GetDataRecovery(asked))
            made[type] = recovery;
    }
    const int deep = KvUIScan::instance()->IsDeepScan() == 1 ? 1 : 0;
    std::lock_guard hold(lock_);
    dataRecoveries_ = std::move(made);
    deep_ = deep_ != 0 || deep != 0 ? 1 : 0;
}

void KvUIRecovery::ResetParam() {
    {
        std::lock_guard hold(lock_);
        controller_ = nullptr;
        currentNode_ = nullptr;
    }
    InitDataRecoveryController();
    std::lock_guard hold(lock_);
    if (GetStatus() != KV_STATUS_RUNNING) {
        copiedBytes_ = 0;
        totalSize_ = 0;
    }
    SetNeedUIUpdate(0);
    SetProgressInfo(_PROGRESS_INFO{});
}

void KvUIRecovery::ReleaseDataRecovery() {
    std::map<_tagSearcherType, IDataRecovery*> released;
    {
        std::lock_guard hold(lock_);
        released.swap(dataRecoveries_);
        controller_ = nullptr;
        deep_ = 0;
    }
    for (auto& [type, recovery] : released)
        recovery->Release();
}

int KvUIRecovery::CheckWhetherNeedReset() {
    std::lock_guard hold(lock_);
    return dataRecoveries_.empty() ? 1 : 0;
}

IDataRecovery* KvUIRecovery::GetDataRecoveryByType(_tagSearcherType type) {
    std::lock_guard hold(lock_);
    auto found = dataRecoveries_.find(type);
    return found != dataRecoveries_.end() ? found->second : nullptr;
}

void KvUIRecovery::SetRecoveryPath(const char* path) {
    std::lock_guard hold(lock_);
    destination_ = path != nullptr ? path : "";
}

std::string KvUIRecovery::GetRecoveryPath() {
    std::lock_guard hold(lock_);
    return destination_;
}

void KvUIRecovery::SetRecoveryTotalSize(uint64_t size) {
    std::lock_guard hold(lock_);
    totalSize_ = size;
}

void KvUIRecovery::SetRecoveryTotalFilesCnt(uint64_t count) {
    std::lock_guard hold(lock_);
    totalFiles_ = count;
}

uint64_t KvUIRecovery::GetRecoveriedFileSize() {
    std::lock_guard hold(lock_);
    return copiedBytes_;
}

uint64_t KvUIRecovery::GetRecoveriedFilesCnt() {
    std::lock_guard hold(lock_);
    return copiedFiles_;
}

KvUIRecovery::Counts KvUIRecovery::GetRecoveryCounts() {
    std::lock_guard hold(lock_);
    return counts_;
}

IFileNode* KvUIRecovery::GetCurrentRecoveryNode() {
    std::lock_guard hold(lock_);
    return currentNode_;
}

std::string KvUIRecovery::GetCurrentRecoveryFileName() {
    // Under the lock: the node stays valid while it is the current one.
    std::lock_guard hold(lock_);
    const char* name = currentNode_ != nullptr ? currentNode_->GetFileName() : nullptr;
    return name != nullptr ? name : "";
}

void KvUIRecovery::SetCreateDirIndex(_tagSearcherType type, int index) {
    std::lock_guard hold(lock_);
    folderNumbers_[type] = index;
}

int KvUIRecovery::GetCreateDirIndex(_tagSearcherType type) {
    std::lock_guard hold(lock_);
    auto found = folderNumbers_.find(type);
    return found != folderNumbers_.end() ? found->second : 0;
}

void KvUIRecovery::ClearCreateDirIndex() {
    std::lock_guard hold(lock_);
    folderNumbers_.clear();
}

int KvUIRecovery::RecoveryPathIsSameDevice(const char* path) {
    struct stat status {};
    if (path == nullptr || stat(path, &status) != 0)
        return 0;
    const int32_t id = DeviceIdOf(status.st_dev);
    IStorageDevice* scanned = KvUIScan::instance()->GetSavedStorage();
    if (scanned == nullptr)
        return 0;
    KvUIDeviceData* model = KvUIDeviceData::instance();
    if (!model->IsDiskStorage(scanned))
        return VolumeHasDeviceId(scanned, id) ? 1 : 0;
    std::list<IStorageDevice*> volumes;
    model->GetDiskVolumeStorage(scanned, volumes);
    for (IStorageDevice* volume : volumes) {
        if (VolumeHasDeviceId(volume, id))
            return 1;
    }
    return 0;
}

void KvUIRecovery::BeginFile(IFileNode* node) {
    std::lock_guard hold(lock_);
    currentNode_ = node;
    lastDone_ = 0;
}

int KvUIRecovery::UpdateProgress(_PROGRESS_INFO* info) {
    if (info == nullptr)
        return 1;
    if (info->state == PROGRESS_STATE_REFRESH) {
        SetNeedUIUpdate(1);
        return 0;
    }
    std::lock_guard hold(lock_);
    if (info->done > lastDone_)
        copiedBytes_ += info->done - lastDone_;
    lastDone_ = info->done;
    _PROGRESS_INFO record{};
    record.total = totalSize_;
    record.done = copiedBytes_;
    record.result = info->result;
    SetProgressInfo(record);
    if (currentNode_ != nullptr && info->total != 0 && info->done == info->total) {
        const char* name = currentNode_->GetFileName();
        std::printf("===Recvoeried file(%lld):%s=====\n", static_cast<long long>(copiedFiles_),
                    name != nullptr ? name : "");
    }
    // The engine writes the piece again once the user has made room and
    // resumed; a stop asked for meanwhile stays asked for.
    if (ResultKindOf(info->result) == kWriteFailedKind)
        ExchangeStatus(KV_STATUS_RUNNING, KV_STATUS_PAUSED);
    SetNeedUIUpdate(1);
    return 0;
}

IDataRecovery* KvUIRecovery::DataRecoveryFor(IFileNode* node,
                                             _RECOVERY_CONTROLLER_TYPE controllerType) {
    // A quick scan made one copy-out object per volume it found.
    if (controllerType == RECOVERY_CONTROLLER_DELETED)
        return KvUIScan::instance()->GetFileNodeDataRecover(node);
    return GetDataRecoveryByType(KvCPPPublic::instance().GetNodeSearcheType(node));
}

RESULT_CODE KvUIRecovery::RecoverNode(IFileNode* node, _RECOVERY_CONTROLLER_TYPE controllerType) {
    IDataRecovery* recovery = DataRecoveryFor(node, controllerType);
    if (recovery == nullptr) {
        std::lock_guard hold(lock_);
        ++counts_.skipped;
        return kResultSuccess;
    }
    IFileReader* reader = recovery->SetRecoverNode(node);
    BeginFile(node);
    {
        std::lock_guard hold(lock_);
        ++copiedFiles_;
    }
    const std::string path = CreateRecoveryFilePathByNode(node, GetRecoveryPath());
    RESULT_CODE result = kResultSuccess;
    uint64_t Counts::*outcome = &Counts::recovered;
    if (path.empty()) {
        outcome = &Counts::skipped;
    } else if (reader == nullptr) {
        // Nothing to read: only an empty file can be made whole.
        if (node->GetFileSize() != 0 || !MakeEmptyFile(path, node)) {
            result = MakeFailure(kModuleBridgeRecovery, static_cast<uint16_t>(__LINE__),
                                 kResultNoFileSelected);
            outcome = &Counts::failed;
        }
    } else {
        result = recovery->RecoverTo(path.c_str(), this, 0);
        if (ResultKindOf(result) == kResultShortRead) {
            outcome = &Counts::partly;
        } else if (IsFailure(result)) {
            // The engine leaves no file behind for a copy it did not make.
            outcome = &Counts::failed;
        }
    }
    if (reader != nullptr)
        reader->Release();
    std::lock_guard hold(lock_);
    ++(counts_.*outcome);
    return result;
}

RESULT_CODE KvUIRecovery::DoRecovery() {
    {
        std::lock_guard hold(lock_);
        copiedBytes_ = 0;
        copiedFiles_ = 0;
        counts_ = Counts{};
    }
    KvUIScan* scan = KvUIScan::instance();
    scan->SetCurrentScanRecoveryCnt(scan->GetCurrentScanRecoveryCnt() + 1);
    // Copy-out objects of the results as they stand now; they go again at the
    // end, since the devices they read may be enumerated anew before the next.
    ReleaseDataRecovery();
    ResetParam();
    IRecoveryController* controller = scan->GetRecoveryController();
    const _RECOVERY_CONTROLLER_TYPE controllerType =
        controller != nullptr ? controller->thisType() : RECOVERY_CONTROLLER_NONE;

    RESULT_CODE result = kResultSuccess;
    bool going = true;
    for (const auto& [category, nodes] : scan->GetTypeMap()) {
        going = going && Continued() != 0;
        for (auto node = nodes.begin(); going && node != nodes.end(); ++node) {
            going = Continued() != 0;
            if (!going || *node == nullptr || !(*node)->IsNodeShow() ||
                (*node)->GetCheckedStatus() != CHECK_STATUS_CHECKED)
                continue;
            const RESULT_CODE copied = RecoverNode(*node, controllerType);
            if (copied != kResultSuccess)
                result = copied;
        }
    }
    ReleaseDataRecovery();

    {
        std::lock_guard hold(lock_);
        currentNode_ = nullptr;
        // The end carries no error: a failed write that was given up on is
        // in the counts, not a pause to wait out.
        _PROGRESS_INFO record{};
        record.total = totalSize_;
        record.done = copiedBytes_;
        SetProgressInfo(record);
        SetNeedUIUpdate(1);
        SetStatus(KV_STATUS_IDLE);
    }
    std::printf("========Recovery finished!==========\n");
    return result;
}
