#include "KvUIScan.h"

#include <cstdio>
#include <ctime>
#include <list>

#include "DataRecovery.h"
#include "DirectoryTreeBuilder.h"
#include "EngineLog.h"
#include "FileNode.h"
#include "KvCPPPublic.h"
#include "KvScanUpdates.h"
#include "KvUIDeviceData.h"
#include "KvUIFilter.h"
#include "KvUIPublic.h"
#include "RecoveryFilter.h"
#include "RestoreScanSink.h"
#include "StorageDevice.h"

namespace {

// Files into a date index by the local year and month of one of their times;
// a missing (0) time files nothing.
void FileByDate(KvUIScan::DateIndex& index, IFileNode* file, _FILETIME time) {
    int year = 0;
    int month = 0;
    if (KvCPPPublic::instance().GetYearMonthByFileTime(&year, &month, time))
        index[year][month].push_back(file);
}

// The top folder of the tree the node lies in.
IFileNode* TopOf(IFileNode* node) {
    // Deeper than any real tree; guards against a parent loop.
    constexpr int kMostLevels = 4096;
    for (int level = 0; node != nullptr && level < kMostLevels; ++level) {
        IFileNode* parent = node->GetParent();
        if (parent == nullptr)
            return node;
        node = parent;
    }
    return nullptr;
}

}  // namespace

KvUIScan* KvUIScan::instance() {
    static KvUIScan scan;
    return &scan;
}

KvUIScan::~KvUIScan() {
    std::lock_guard hold(lock_);
    for (auto& [root, recovery] : dataRecoveries_)
        recovery->Release();
    if (controller_ != nullptr)
        controller_->Release();
    for (IRecoveryController* earlier : earlierControllers_)
        earlier->Release();
    ReleaseListingBuilders();
}

RESULT_CODE KvUIScan::DoScan(IStorageDevice* device, RestoreScanSink* sink) {
    CatchExeception::WriteLog("%s:%d started!\r", "DoScan", __LINE__);
    // Scans never overlap: a second one waits for the first.
    std::lock_guard scan(scanLock_);
    {
        std::lock_guard hold(lock_);
        restoreSink_ = sink;
        endReported_ = false;
        withoutDevice_ = false;
    }
    RESULT_CODE result = kNoScanResult;
    if (device != nullptr) {
        SaveScanSorage(device);
        SetNeedUIUpdate(0);
        const _RECOVERY_CONTROLLER_TYPE type = GetScanControllerType(device);
        const int deep = IsDeepScan();
        ResetRecoveryController(type);
        ClearData();
        SetSearchKey("");
        IRecoveryFilter* filter = KvUIFilter::instance()->GetFilter();
        KvUIDeviceData* model = KvUIDeviceData::instance();
        if (!deep && model->IsDiskStorage(device)) {
            std::list<IStorageDevice*> volumes;
            model->GetDiskVolumeStorage(device, volumes);
            {
                std::lock_guard hold(lock_);
                remainingVolumes_ = static_cast<int>(volumes.size());
            }
            bool first = true;
            for (IStorageDevice* volume : volumes) {
                {
                    std::lock_guard hold(lock_);
                    if (remainingVolumes_ < 1)
                        break;
                    --remainingVolumes_;
                }
                if (!model->IsVolumeStorageSupported(volume))
                    continue;
                if (!first)
                    NextVolumeController();
                first = false;
                filter->SetScanType(SCAN_TYPE_DELETED_ONLY);
                result = DoVolumeStorageScan(volume);
                if (IsFailure(result) && GetStatus() == KV_STATUS_STOP_REQUESTED)
                    break;
            }
        } else {
            filter->SetScanType(deep ? SCAN_TYPE_DEEP : SCAN_TYPE_DELETED_ONLY);
            result = DoVolumeStorageScan(device);
        }
    }
    {
        std::lock_guard hold(lock_);
        restoreSink_ = nullptr;
    }
    FinishScan();
    CatchExeception::WriteLog("%s:%d end!\r", "DoScan", __LINE__);
    return result;
}

void KvUIScan::ListWithoutDevice(bool restoring,
                                 const std::function<void(const BuilderFor&, IProgress*)>& replay) {
    std::lock_guard scan(scanLock_);
    ResetRecoveryController(RECOVERY_CONTROLLER_NONE);
    {
        std::lock_guard hold(lock_);
        savedDevice_ = nullptr;
        endReported_ = false;
        withoutDevice_ = true;
    }
    SetNeedUIUpdate(0);
    ClearData();
    SetSearchKey("");
    SetStatus(KV_STATUS_RUNNING);
    IRecoveryFilter* filter = KvUIFilter::instance()->GetFilter();
    // The files are let through as the scan that made the result let them,
    // whatever the last scan of this run was.
    filter->SetScanType(restoring ? SCAN_TYPE_DEEP : SCAN_TYPE_DELETED_ONLY);
    std::map<std::string, IDirecotryTreeBuilder*> byVolume;
    replay(
        [&](const std::string& volumeName) -> IDirecotryTreeBuilder* {
            IDirecotryTreeBuilder*& builder = byVolume[volumeName];
            if (builder != nullptr)
                return builder;
            IDirecotryTreeBuilder* made = CreateTreeBuilder(restoring);
            if (made == nullptr)
                return nullptr;
            {
                std::lock_guard hold(lock_);
                listingBuilders_.push_back(made);
            }
            if (made->Initialize(volumeName.c_str(), this, filter))
                builder = made;
            return builder;
        },
        this);
    FinishScan();
}

bool KvUIScan::IsWithoutDevice() {
    std::lock_guard hold(lock_);
    return withoutDevice_;
}

void KvUIScan::ReleaseListingBuilders() {
    for (IDirecotryTreeBuilder* builder : listingBuilders_)
        builder->Release();
    listingBuilders_.clear();
}

void KvUIScan::FinishScan() {
    bool reported = false;
    {
        std::lock_guard hold(lock_);
        remainingVolumes_ = 0;
        reported = endReported_ && GetStatus() == KV_STATUS_IDLE;
        SetStatus(KV_STATUS_IDLE);
        SetNeedUIUpdate(1);
    }
    if (!reported)
        KvNotifyUIUpdateData(1);
}

RESULT_CODE KvUIScan::DoVolumeStorageScan(IStorageDevice* device) {
    IRecoveryController* controller = GetRecoveryController();
    if (device == nullptr || controller == nullptr || !Continued())
        return kVolumeNotStarted;
    SetStatus(KV_STATUS_RUNNING);
    controller->Initialize(KvUIFilter::instance()->GetFilter());
    if (CCollectedVolumeDeviceInfoStruct* info =
            KvUIDeviceData::instance()->GetVolumeInfo(device)) {
        int remaining = 0;
        {
            std::lock_guard hold(lock_);
            remaining = remainingVolumes_;
        }
        std::printf("=======scan volumes(%d):(%s)======\n", remaining, info->volumeName);
    }
    return controller->StartDataRecovery(device, this, this);
}

void KvUIScan::ResetRecoveryController(_RECOVERY_CONTROLLER_TYPE type) {
    std::lock_guard hold(lock_);
    if (controller_ != nullptr)
        controller_->Release();
    controller_ = nullptr;
    for (IRecoveryController* earlier : earlierControllers_)
        earlier->Release();
    earlierControllers_.clear();
    // The listed nodes go before the saved partitions, as a controller's do.
    ReleaseListingBuilders();
    withoutDevice_ = false;
    loadedSink_.reset();
    // A new scan of the loaded image keeps it.
    if (loadedDevice_.get() != savedDevice_)
        loadedDevice_.reset();
    controller_ = CreateRecoveryController(type);
    if (controller_ != nullptr && restoreSink_ != nullptr && type <= RECOVERY_CONTROLLER_PARTITION)
        controller_->SetRestoreScanSink(restoreSink_);
}

void KvUIScan::NextVolumeController() {
    std::lock_guard hold(lock_);
    if (controller_ == nullptr)
        return;
    IRecoveryController* next = CreateRecoveryController(controller_->thisType());
    if (next == nullptr)
        return;
    if (restoreSink_ != nullptr)
        next->SetRestoreScanSink(restoreSink_);
    earlierControllers_.push_back(controller_);
    controller_ = next;
}

void KvUIScan::SetDeepScan(int deep) {
    std::lock_guard hold(lock_);
    deepScan_ = deep;
}

int KvUIScan::IsDeepScan() {
    std::lock_guard hold(lock_);
    if (deepScan_ == 0 && savedDevice_ != nullptr &&
        !KvUIDeviceData::instance()->IsDiskStorage(savedDevice_)) {
        const CCollectedVolumeDeviceInfoStruct* info =
            KvUIDeviceData::GetStorageVolumeInfo(savedDevice_);
        deepScan_ = info != nullptr && info->fileSystemType == FILE_SYSTEM_UNKNOWN ? 1 : 0;
    }
    return deepScan_;
}

_RECOVERY_CONTROLLER_TYPE KvUIScan::GetScanControllerType(IStorageDevice* device) {
    if (device == nullptr)
        return RECOVERY_CONTROLLER_NONE;
    if (IsDeepScan() == 1) {
        return KvUIDeviceData::instance()->IsDiskStorage(device) ? RECOVERY_CONTROLLER_PARTITION
                                                                 : RECOVERY_CONTROLLER_COMPLETE;
    }
    return RECOVERY_CONTROLLER_DELETED;
}

void KvUIScan::SaveScanSorage(IStorageDevice* device) {
    std::lock_guard hold(lock_);
    savedDevice_ = device;
}

IStorageDevice* KvUIScan::GetSavedStorage() {
    std::lock_guard hold(lock_);
    return savedDevice_;
}

IRecoveryController* KvUIScan::GetRecoveryController() {
    std::lock_guard hold(lock_);
    return controller_;
}

void KvUIScan::ClearData() {
    std::lock_guard hold(lock_);
    remainingVolumes_ = 0;
    SetStartAndEndTime(time(nullptr));
    fileCount_ = 0;
    totalSize_ = 0;
    recoveryCount_ = 0;
    for (auto& [root, recovery] : dataRecoveries_)
        recovery->Release();
    dataRecoveries_.clear();
    fileSystemRoots_.clear();
    created_.clear();
    modified_.clear();
    types_.clear();
    newPathNodes_.clear();
    allDirectories_.clear();
    nodeObjects_.clear();
    SetProgressInfo(_PROGRESS_INFO{});
}

void KvUIScan::ForgetResults() {
    std::lock_guard scan(scanLock_);
    ClearData();
    std::lock_guard hold(lock_);
    if (controller_ != nullptr)
        controller_->Release();
    controller_ = nullptr;
    for (IRecoveryController* earlier : earlierControllers_)
        earlier->Release();
    earlierControllers_.clear();
    ReleaseListingBuilders();
    withoutDevice_ = false;
    loadedSink_.reset();
    loadedDevice_.reset();
    savedDevice_ = nullptr;
}

void KvUIScan::KeepLoadedResult(std::unique_ptr<RestoreScanSink> sink,
                                std::unique_ptr<IStorageDevice> device) {
    std::lock_guard hold(lock_);
    loadedSink_ = std::move(sink);
    loadedDevice_ = std::move(device);
}

void KvUIScan::ReCalTotalSize() {
    std::lock_guard hold(lock_);
    uint64_t total = 0;
    for (const auto& [category, nodes] : types_) {
        for (IFileNode* node : nodes) {
            if (node->IsNodeShow())
                total += static_cast<uint64_t>(node->GetFileSize());
        }
    }
    totalSize_ = total;
}

void KvUIScan::ReleaseDataRecovery() {
    std::lock_guard hold(lock_);
    for (auto& [root, recovery] : dataRecoveries_)
        recovery->Release();
    dataRecoveries_.clear();
}

void KvUIScan::SetOztRsf(int flag) {
    std::lock_guard hold(lock_);
    oztResult_ = flag;
}

int KvUIScan::IsOztRsf() {
    std::lock_guard hold(lock_);
    return oztResult_;
}

void KvUIScan::SetDmgRsf(int flag) {
    std::lock_guard hold(lock_);
    dmgResult_ = flag;
}

uint64_t KvUIScan::GetScanFileCnt() {
    std::lock_guard hold(lock_);
    return fileCount_;
}

uint64_t KvUIScan::GetScanFileSize() {
    std::lock_guard hold(lock_);
    return totalSize_;
}

void KvUIScan::SetCurrentScanRecoveryCnt(int count) {
    std::lock_guard hold(lock_);
    recoveryCount_ = count;
}

int KvUIScan::GetCurrentScanRecoveryCnt() {
    std::lock_guard hold(lock_);
    return recoveryCount_;
}

bool KvUIScan::AcquireResults() {
    std::lock_guard hold(lock_);
    if (GetStatus() != KV_STATUS_IDLE)
        return false;
    ++resultUsers_;
    return true;
}

bool KvUIScan::BeginScanRequest() {
    std::lock_guard hold(lock_);
    if (resultUsers_ > 0)
        return false;
    ExchangeStatus(KV_STATUS_STOP_REQUESTED, KV_STATUS_IDLE);
    return ExchangeStatus(KV_STATUS_IDLE, KV_STATUS_RUNNING);
}

void KvUIScan::ReleaseResults() {
    std::lock_guard hold(lock_);
    if (resultUsers_ > 0)
        --resultUsers_;
}

int KvUIScan::ResultUsers() {
    std::lock_guard hold(lock_);
    return resultUsers_;
}

KvUIScan::TypeIndex KvUIScan::GetTypeMap() {
    std::lock_guard hold(lock_);
    return types_;
}

KvUIScan::DateIndex KvUIScan::GetCreateTimeMap() {
    std::lock_guard hold(lock_);
    return created_;
}

KvUIScan::DateIndex KvUIScan::GetModifyTimeMap() {
    std::lock_guard hold(lock_);
    return modified_;
}

KvUIScan::TypeIndex KvUIScan::GetTypeMapFrom(const std::map<unsigned int, size_t>& from) {
    std::lock_guard hold(lock_);
    TypeIndex tails;
    for (const auto& [category, files] : types_) {
        auto start = from.find(category);
        const size_t at = start != from.end() ? std::min(start->second, files.size()) : 0;
        tails[category].assign(files.begin() + static_cast<std::ptrdiff_t>(at), files.end());
    }
    return tails;
}

KvUIScan::DateIndex KvUIScan::GetDateMapFrom(bool created, const std::map<int, size_t>& from) {
    std::lock_guard hold(lock_);
    DateIndex tails;
    for (const auto& [year, months] : created ? created_ : modified_) {
        for (const auto& [month, files] : months) {
            auto start = from.find(year * 100 + month);
            const size_t at = start != from.end() ? std::min(start->second, files.size()) : 0;
            tails[year][month].assign(files.begin() + static_cast<std::ptrdiff_t>(at), files.end());
        }
    }
    return tails;
}

std::vector<IFileNode*> KvUIScan::GetFileSystemNode() {
    std::lock_guard hold(lock_);
    return fileSystemRoots_;
}

std::vector<IFileNode*> KvUIScan::KvGetNewPathNode() {
    std::lock_guard hold(lock_);
    std::vector<IFileNode*> taken;
    taken.swap(newPathNodes_);
    return taken;
}

std::vector<IFileNode*> KvUIScan::KvGetAllPathNode() {
    std::lock_guard hold(lock_);
    std::vector<IFileNode*> all = fileSystemRoots_;
    all.insert(all.end(), allDirectories_.begin(), allDirectories_.end());
    return all;
}

void* KvUIScan::KvGetFileNode(IFileNode* node) {
    std::lock_guard hold(lock_);
    auto found = nodeObjects_.find(node);
    return found != nodeObjects_.end() ? found->second : nullptr;
}

void KvUIScan::KvSetFileNode(IFileNode* node, void* object) {
    if (node == nullptr || object == nullptr)
        return;
    std::lock_guard hold(lock_);
    nodeObjects_[node] = object;
}

void KvUIScan::KvResetFileNode() {
    std::lock_guard hold(lock_);
    nodeObjects_.clear();
}

IDataRecovery* KvUIScan::GetFileNodeDataRecover(IFileNode* node) {
    IFileNode* root = TopOf(node);
    if (root == nullptr)
        return nullptr;
    std::lock_guard hold(lock_);
    auto found = dataRecoveries_.find(root);
    return found != dataRecoveries_.end() ? found->second : nullptr;
}

int KvUIScan::FindRemoveData(IFileNode* node) {
    return node != nullptr && node->IsDirectory() ? 1 : 0;
}

std::string KvUIScan::GetNodeExt(IFileNode* node) {
    const char* name = node != nullptr ? node->GetFileName() : nullptr;
    if (name == nullptr)
        return {};
    const std::string text(name);
    const size_t dot = text.rfind('.');
    if (dot == std::string::npos)
        return {};
    std::string extension = text.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

void KvUIScan::UnselectAllNodes() {
    for (IFileNode* root : GetFileSystemNode())
        root->SetCheck(CHECK_STATUS_UNCHECKED);
}

void KvUIScan::DoSearch(std::vector<IFileNode*>& result) {
    result.clear();
    const std::string key = GetSearchKey();
    const bool desktopMode = KvUIPublic::IsDesktopMode();
    for (const auto& [category, nodes] : GetTypeMap()) {
        for (IFileNode* node : nodes) {
            const bool match = KvUIPublic::IsStringInFileNode(key.c_str(), node, desktopMode);
            node->ShowNode(match ? 1 : 0);
            if (match && !node->IsDirectory())
                result.push_back(node);
        }
    }
}

void KvUIScan::SetSearchKey(const char* key) {
    if (key == nullptr)
        return;
    std::lock_guard hold(lock_);
    searchKey_ = key;
}

std::string KvUIScan::GetSearchKey() {
    std::lock_guard hold(lock_);
    return searchKey_;
}

void KvUIScan::SetSearching(int searching) {
    std::lock_guard hold(lock_);
    searching_ = searching;
}

int KvUIScan::IsSearching() {
    std::lock_guard hold(lock_);
    return searching_;
}

void KvUIScan::SetScanType(int view) {
    std::lock_guard hold(lock_);
    viewType_ = view;
}

int KvUIScan::GetScanType() {
    std::lock_guard hold(lock_);
    return viewType_;
}

int KvUIScan::UpdateProgress(_PROGRESS_INFO* info) {
    if (info == nullptr)
        return 0;
    SetProgressInfo(*info);
    if (info->state == PROGRESS_STATE_FINISHED) {
        {
            std::lock_guard hold(lock_);
            if (remainingVolumes_ <= 0 || GetStatus() == KV_STATUS_STOP_REQUESTED) {
                remainingVolumes_ = 0;
                SetStatus(KV_STATUS_IDLE);
                endReported_ = true;
            }
        }
        KvNotifyUIUpdateData(1);
        std::printf("=====Scan Progress finished!=====\n");
    }
    SetEndTime(time(nullptr));
    SetNeedUIUpdate(1);
    return 0;
}

int KvUIScan::IsOpTreeFinished() {
    std::lock_guard hold(lock_);
    return treeFinished_;
}

void KvUIScan::SetOpTreeFinished(int finished) {
    {
        std::lock_guard hold(lock_);
        treeFinished_ = finished;
    }
    if (finished)
        KvScanUpdates::instance()->TreeFinished();
}

void KvUIScan::ShowNodes(IFileNode** nodes, unsigned int count, int /*lost*/) {
    if (nodes == nullptr || count == 0)
        return;
    IRecoveryFilter* filter = KvUIFilter::instance()->GetFilter();
    uint64_t files = 0;
    for (unsigned int i = 0; i < count; ++i) {
        IFileNode* node = nodes[i];
        if (node == nullptr)
            continue;
        // Taken per node, so that the interface's queries interleave with a long batch.
        std::lock_guard hold(lock_);
        if (node->IsDirectory()) {
            allDirectories_.push_back(node);
            newPathNodes_.push_back(node);
            continue;
        }
        FileByDate(created_, node, node->GetCreationTime());
        FileByDate(modified_, node, node->GetModificationTime());
        types_[filter->GetNodeFileType(node)].push_back(node);
        totalSize_ += static_cast<uint64_t>(node->GetFileSize());
        ++files;
    }
    {
        std::lock_guard hold(lock_);
        fileCount_ += files;
    }
    SetNeedUIUpdate(1);
    KvNotifyUIUpdateData(0);
}

void KvUIScan::ShowFilesystemNode(IFilesystemNode* root) {
    if (root == nullptr)
        return;
    const char* name = root->GetFileName();
    std::printf("=====ShowFileSystemNodes:%s\n", name != nullptr ? name : "");
    if (!root->IsDirectory())
        return;
    {
        std::lock_guard hold(lock_);
        if (controller_ != nullptr && controller_->thisType() == RECOVERY_CONTROLLER_DELETED) {
            IDataRecovery* recovery = controller_->GetDataRecovery(root->GetSearcheType());
            auto found = dataRecoveries_.find(root);
            if (found != dataRecoveries_.end()) {
                found->second->Release();
                dataRecoveries_.erase(found);
            }
            if (recovery != nullptr)
                dataRecoveries_[root] = recovery;
        }
        fileSystemRoots_.push_back(root);
        newPathNodes_.push_back(root);
    }
    SetNeedUIUpdate(1);
}
