#include "FakeFacade.h"

#include <QColor>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>

#include "DiskVolumeNodeData.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvUIController.h"
#include "KvUIDeviceData.h"

FakeFacade::FakeFacade() {
    KvUIFacade::install(this);
}

FakeFacade::~FakeFacade() {
    if (&KvUIFacade::current() == this)
        KvUIFacade::reset();
}

std::shared_ptr<DiskVolumeNodeData> FakeFacade::MakeDevice(const QString& name, uint64_t capacity,
                                                           int disk, int volume, int fileSystem,
                                                           bool canOpen) {
    const QByteArray utf8 = name.toUtf8();
    _DiskVolumeData record;
    record.name = utf8.constData();
    record.capacity = capacity;
    record.diskIndex = disk;
    record.volumeIndex = volume;
    record.fileSystem = fileSystem;
    record.beCanOpen = canOpen ? 1 : 0;
    return std::make_shared<DiskVolumeNodeData>(record);
}

void FakeFacade::post(const QString& name) {
    KvNotificationCenter::defaultCenter()->enqueuePost(name);
}

// Devices.

void FakeFacade::GetDeviceInfoToArray(DiskVolumeNodeList* list) {
    if (list != nullptr)
        list->insert(list->end(), devices.begin(), devices.end());
}

void FakeFacade::NotifiyDeviceInfoAfterInit(const QString& name) {
    post(name);
}

bool FakeFacade::RefreshDeviceInfo() {
    ++refreshCount;
    return refreshAnswer;
}

void FakeFacade::SetRecoveryType(unsigned int mask) {
    recoveryTypes.push_back(mask);
}

// Scans.

bool FakeFacade::startScan(int disk, int volume, bool deep) {
    if (refuseScans || IsScanRunning())
        return false;
    scanRequests.push_back({disk, volume, deep});
    KvResetTreeNodeData();
    scanState_ = kRunning;
    deep_ = deep;
    percent_ = 0;
    return true;
}

bool FakeFacade::DoScanWithDiskIndex(int disk, int volume) {
    return startScan(disk, volume, deep_);
}

bool FakeFacade::DoScanWithData(const _DiskVolumeData* record) {
    return record != nullptr && startScan(record->diskIndex, record->volumeIndex, false);
}

bool FakeFacade::DoDeepScanWithData(const _DiskVolumeData* record) {
    return record != nullptr && startScan(record->diskIndex, record->volumeIndex, true);
}

bool FakeFacade::isOztDoDeepScanWithData(const _DiskVolumeData* record) {
    return DoDeepScanWithData(record);
}

bool FakeFacade::DoDeepScan() {
    if (scanRequests.empty())
        return false;
    const FakeScanRequest last = scanRequests.back();
    return startScan(last.disk, last.volume, true);
}

void FakeFacade::PauseOrResumeScan() {
    if (scanState_ == kRunning)
        scanState_ = kPaused;
    else if (scanState_ == kPaused)
        scanState_ = kRunning;
}

void FakeFacade::StopScan(int discard) {
    ++stopScanCount;
    stopScanFlags.push_back(discard);
    if (stopLingers && scanState_ != kIdle) {
        scanState_ = kStopping;
        return;
    }
    if (scanState_ != kIdle) {
        scanState_ = kIdle;
        post(kvnote::kNormalScanValue);
    }
}

bool FakeFacade::IsScanRunning() {
    return scanState_ != kIdle;
}

bool FakeFacade::IsPause() {
    return scanState_ == kPaused;
}

void FakeFacade::advanceScan(double percent) {
    percent_ = std::clamp(percent, 0.0, 100.0);
    post(kvnote::kNormalScanValue);
}

void FakeFacade::finishScan() {
    percent_ = 100;
    scanState_ = kIdle;
    post(kvnote::kNormalScanValue);
}

size_t FakeFacade::foundFolders() const {
    if (!tree)
        return 0;
    const double share = percent_ / 100.0 * static_cast<double>(tree->folders().size());
    return std::min(tree->folders().size(), static_cast<size_t>(std::ceil(share)));
}

QString FakeFacade::GetScanProgress(double& percent, uint64_t& fileCount) {
    percent = percent_;
    fileCount = tree ? tree->filesInFolders(foundFolders()) : 0;
    return scanState_ == kIdle ? QStringLiteral("00:00:00") : remainingTime;
}

void FakeFacade::GetScanFileSize(uint64_t& size, uint64_t& count) {
    count = tree ? tree->filesInFolders(foundFolders()) : 0;
    size = 0;
    for (uint64_t i = 0; i < count; ++i)
        size += static_cast<uint64_t>(tree->files()[i]->GetFileSize());
}

// Result trees: the path tree grows by the folders found so far.

bool FakeFacade::KvSetTreeNodeData(const KvTreeRoots* roots) {
    if (roots == nullptr)
        return false;
    roots_ = *roots;
    return true;
}

void FakeFacade::KvResetTreeNodeData() {
    for (OpNodeArray* roots : {roots_.path, roots_.type, roots_.created, roots_.modified})
        if (roots != nullptr)
            roots->clear();
    pathRoot_.reset();
    shownFolders_ = 0;
}

bool FakeFacade::KvGetTreeNodeData(int, const QString&) {
    if (!tree || roots_.path == nullptr)
        return false;
    if (!pathRoot_) {
        pathRoot_ = tree->pathRoot(0);
        roots_.path->push_back(pathRoot_);
    }
    const size_t found = foundFolders();
    for (; shownFolders_ < found; ++shownFolders_) {
        OpNodeRef row = tree->folderRow(shownFolders_);
        row->setParent(pathRoot_.get());
        pathRoot_->addChildObject(std::move(row));
    }
    return true;
}

int FakeFacade::GetScanTreeNodeData(OpNodeArray* roots, int) {
    if (!tree || roots == nullptr)
        return 0;
    const bool listed = std::any_of(roots->begin(), roots->end(), [this](const OpNodeRef& row) {
        return row->fileNode() == tree->root();
    });
    if (!listed)
        roots->push_back(tree->pathRoot(foundFolders()));
    return 0;
}

int FakeFacade::GetFileNodeToArray(std::vector<IFileNode*>* files, OpNodeData* row) {
    return GetPathInfoToArray(files, row);
}

int FakeFacade::GetPathInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row) {
    if (files == nullptr || row == nullptr)
        return 0;
    const size_t before = files->size();
    for (IFileNode* file : row->childFiles())
        if (file->IsNodeShow())
            files->push_back(file);
    return files->size() > before ? 1 : 0;
}

uint64_t FakeFacade::GetNodeChildrenCnt(const OpNodeData* row) {
    if (row == nullptr)
        return 0;
    uint64_t count = row->childFiles().size();
    for (const OpNodeRef& child : row->childRows())
        count += GetNodeChildrenCnt(child.get());
    return count;
}

// Search: files whose name holds the key stay shown.

bool FakeFacade::DoSearchWithString(const QString& key, const QString& name) {
    if (searching_)
        return false;
    searching_ = true;
    searchKey_ = key;
    searchKeys.push_back(key);
    if (tree)
        for (SyntheticFileNode* file : tree->files())
            file->ShowNode(
                QString::fromStdString(file->name_).contains(key, Qt::CaseInsensitive) ? 1 : 0);
    post(name);
    post(kvnote::kDoSearchFinished);
    return true;
}

void FakeFacade::GetSearchResultToArr(std::vector<IFileNode*>* files) {
    if (files == nullptr || searchKey_.isEmpty() || !tree)
        return;
    for (SyntheticFileNode* file : tree->files())
        if (file->IsNodeShow())
            files->push_back(file);
}

// Saving and loading.

void FakeFacade::beginSaveOrRestoreNode(int save, const QString& path, const QString&) {
    saving_ = save != 0;
    (saving_ ? savePath : loadPath) = path;
    (saving_ ? saveProgress_ : loadProgress_) = Progress{};
}

void FakeFacade::RestorPostUIUpdate(const QString& name, bool save) {
    saving_ = save;
    saveLoadNote_ = name;
}

void FakeFacade::GetSaveorRestoreProgress(uint64_t& total, uint64_t& current, uint64_t& errorCode,
                                          bool saver) {
    const Progress& progress = saver ? saveProgress_ : loadProgress_;
    total = progress.total;
    current = progress.current;
    errorCode = progress.errorCode;
}

void FakeFacade::advanceSaveOrLoad(uint64_t current, uint64_t total) {
    Progress& progress = saving_ ? saveProgress_ : loadProgress_;
    progress.current = current;
    progress.total = total;
    if (!saveLoadNote_.isEmpty())
        post(saveLoadNote_);
}

void FakeFacade::finishSaveOrLoad(uint64_t errorCode) {
    Progress& progress = saving_ ? saveProgress_ : loadProgress_;
    progress.errorCode = errorCode;
    // A finished operation reads as complete; a failed one keeps where it stopped.
    if (errorCode == 0)
        progress.current = progress.total;
    if (!saveLoadNote_.isEmpty())
        post(saveLoadNote_);
    post(kvnote::kQueryProgressFinish);
}

// Recovery.

int64_t FakeFacade::DoRecovery(const OpNodeArray&, const QString& path, const QString& name) {
    // What the bridge answers without a destination.
    constexpr int64_t kNoRecoveryTarget = 0x0102052400000001;
    if (path.isEmpty())
        return kNoRecoveryTarget;
    if (recoveryStartCode != 0)
        return recoveryStartCode;
    recoveryPath = path;
    recoveryNote_ = name;
    recoveryState_ = kRunning;
    recoveryDone_ = 0;
    recoveryError_ = 0;
    recoveryFile_.clear();
    recoveredFiles_ = 0;
    return 0;
}

QString FakeFacade::GetRecoveryProgressTotal(uint64_t& total, uint64_t& current,
                                             int64_t& errorCode) {
    total = recoveryTotal;
    current = recoveryDone_;
    errorCode = recoveryError_;
    return recoveryFile_;
}

void FakeFacade::advanceRecovery(uint64_t done, const QString& fileName, int64_t errorCode) {
    if (fileName != recoveryFile_ && !recoveryFile_.isEmpty())
        ++recoveredFiles_;
    recoveryDone_ = done;
    recoveryFile_ = fileName;
    recoveryError_ = errorCode;
    // The bridge pauses a recovery whose destination is full.
    constexpr uint32_t kDestinationFull = 3331;
    if (static_cast<uint32_t>(errorCode) == kDestinationFull)
        recoveryState_ = kPaused;
    post(recoveryNote_);
}

void FakeFacade::finishRecovery(int64_t errorCode) {
    if (!recoveryFile_.isEmpty() && errorCode == 0)
        ++recoveredFiles_;
    recoveryError_ = errorCode;
    if (errorCode == 0)
        recoveryDone_ = recoveryTotal;
    recoveryFile_.clear();
    recoveryState_ = kIdle;
    post(recoveryNote_);
}

void FakeFacade::PauseOrResumeRecovery() {
    if (recoveryState_ == kRunning)
        recoveryState_ = kPaused;
    else if (recoveryState_ == kPaused)
        recoveryState_ = kRunning;
}

void FakeFacade::StopRecvoery() {
    if (recoveryState_ != kIdle)
        recoveryState_ = kStopping;
}

// Previews: a flat picture coloured by the file's name, after a delay.

QImage FakeFacade::GetImageByFileNode(IFileNode* file) {
    ++thumbnailCount;
    if (const int delay = thumbnailDelayMs.load(); delay > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    if (file == nullptr)
        return {};
    const size_t hash = std::hash<std::string>{}(file->GetFileName() ? file->GetFileName() : "");
    QImage image(128, 96, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(static_cast<int>(hash % 360), 90, 230));
    QPainter painter(&image);
    painter.fillRect(QRect(16, 56, 96, 24), QColor(255, 255, 255, 160));
    return image;
}

// Check marks.

void FakeFacade::GetSelectedFilesAmout(int* count, uint64_t* size) {
    int files = 0;
    uint64_t bytes = 0;
    if (tree)
        for (SyntheticFileNode* file : tree->files())
            if (file->IsNodeShow() && file->GetCheckedStatus() == CHECK_STATUS_CHECKED) {
                ++files;
                bytes += static_cast<uint64_t>(file->GetFileSize());
            }
    if (count != nullptr)
        *count = files;
    if (size != nullptr)
        *size += bytes;
}

// Saving the result and stopping a scan.

bool FakeFacade::SavePathToPList(const QString& path) {
    plistSavePath = path;
    return true;
}

void FakeFacade::endStop() {
    if (scanState_ != kStopping)
        return;
    scanState_ = kIdle;
    post(kvnote::kNormalScanValue);
}

bool FakeFacade::KvCleanOpNodeSate() {
    ++cleanCount;
    for (OpNodeArray* roots : {roots_.path, roots_.type, roots_.created, roots_.modified})
        if (roots != nullptr)
            for (const OpNodeRef& root : *roots)
                root->setNodeState(0);
    return true;
}

void FakeFacade::UnselectedAllNodes() {
    ++unselectAllCount;
    if (tree)
        for (SyntheticFileNode* file : tree->files())
            file->SetCheck(CHECK_STATUS_UNCHECKED);
}
