#include "KvUIFacade.h"

#include "KvUIController.h"
#include "ResultCode.h"

namespace {

KvUIFacade*& Installed() {
    static KvUIFacade* installed = nullptr;
    return installed;
}

}  // namespace

KvUIFacade& KvUIFacade::current() {
    static KvUIFacade bridge;
    return Installed() ? *Installed() : bridge;
}

void KvUIFacade::install(KvUIFacade* facade) {
    Installed() = facade;
}

void KvUIFacade::reset() {
    Installed() = nullptr;
}

void KvUIFacade::GetDeviceInfoToArray(DiskVolumeNodeList* list) {
    KvUIController::GetDeviceInfoToArray(list);
}

void KvUIFacade::NotifiyDeviceInfoAfterInit(const QString& name) {
    KvUIController::NotifiyDeviceInfoAfterInit(name);
}

bool KvUIFacade::RefreshDeviceInfo() {
    return KvUIController::RefreshDeviceInfo();
}

void KvUIFacade::initFileType() {
    KvUIController::initFileType();
}

void KvUIFacade::SetRecoveryType(unsigned int mask) {
    KvUIController::SetRecoveryType(mask);
}

bool KvUIFacade::DoScanWithDiskIndex(int disk, int volume) {
    return KvUIController::DoScanWithDiskIndex(disk, volume);
}

bool KvUIFacade::DoScanWithData(const _DiskVolumeData* record) {
    return KvUIController::DoScanWithData(record);
}

bool KvUIFacade::DoDeepScanWithData(const _DiskVolumeData* record) {
    return KvUIController::DoDeepScanWithData(record);
}

bool KvUIFacade::isOztDoDeepScanWithData(const _DiskVolumeData* record) {
    return KvUIController::isOztDoDeepScanWithData(record);
}

bool KvUIFacade::DoDeepScan() {
    return KvUIController::DoDeepScan();
}

void KvUIFacade::PauseOrResumeScan() {
    KvUIController::PauseOrResumeScan();
}

void KvUIFacade::StopScan(int discard) {
    KvUIController::StopScan(discard);
}

void KvUIFacade::ResetShouldBuild() {
    KvUIController::ResetShouldBuild();
}

bool KvUIFacade::IsScanRunning() {
    return KvUIController::IsScanRunning();
}

bool KvUIFacade::IsPause() {
    return KvUIController::IsPause();
}

bool KvUIFacade::IsDeepScan() {
    return KvUIController::IsDeepScan();
}

bool KvUIFacade::IsResultWithoutDevice() {
    return KvUIController::IsResultWithoutDevice();
}

QString KvUIFacade::GetScanProgress(double& percent, uint64_t& fileCount) {
    return KvUIController::GetScanProgress(percent, fileCount);
}

void KvUIFacade::GetScanFileSize(uint64_t& size, uint64_t& count) {
    KvUIController::GetScanFileSize(size, count);
}

void KvUIFacade::SetViewType(int view) {
    KvUIController::SetViewType(view);
}

bool KvUIFacade::KvSetTreeNodeData(const KvTreeRoots* roots) {
    return KvUIController::KvSetTreeNodeData(roots);
}

void KvUIFacade::KvResetTreeNodeData() {
    KvUIController::KvResetTreeNodeData();
}

bool KvUIFacade::KvGetTreeNodeData(int final, const QString& key) {
    return KvUIController::KvGetTreeNodeData(final, key);
}

int KvUIFacade::GetScanTreeNodeData(OpNodeArray* roots, int clearNodeState) {
    return KvUIController::GetScanTreeNodeData(roots, clearNodeState);
}

int KvUIFacade::GetFileNodeToArray(std::vector<IFileNode*>* files, OpNodeData* row) {
    return KvUIController::GetFileNodeToArray(files, row);
}

int KvUIFacade::GetPathInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row) {
    return KvUIController::GetPathInfoToArray(files, row);
}

int KvUIFacade::GetTypeInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row) {
    return KvUIController::GetTypeInfoToArray(files, row);
}

int KvUIFacade::GetDateInfoToArray(std::vector<IFileNode*>* files, OpNodeData* row) {
    return KvUIController::GetDateInfoToArray(files, row);
}

uint64_t KvUIFacade::GetNodeChildrenCnt(const OpNodeData* row) {
    return KvUIController::GetNodeChildrenCnt(row);
}

void KvUIFacade::RefreshData() {
    KvUIController::RefreshData();
}

void KvUIFacade::setNodeState(OpNodeData* row, const std::vector<IFileNode*>& files) {
    KvUIController::setNodeState(row, files);
}

void KvUIFacade::RefreshTypeTreeState(OpNodeData* extensionRow) {
    KvUIController::RefreshTypeTreeState(extensionRow);
}

void KvUIFacade::RefreshTimeTreeState(const OpNodeArray& roots, int mode) {
    KvUIController::RefreshTimeTreeState(roots, mode);
}

bool KvUIFacade::KvCleanOpNodeSate() {
    return KvUIController::KvCleanOpNodeSate();
}

void KvUIFacade::UnselectedAllNodes() {
    KvUIController::UnselectedAllNodes();
}

void KvUIFacade::KvTableViewCellCilck() {
    KvUIController::KvTableViewCellCilck();
}

void KvUIFacade::KvSetFlag(int flag) {
    KvUIController::KvSetFlag(flag);
}

bool KvUIFacade::KvGetIsSearching() {
    return KvUIController::KvGetIsSearching();
}

bool KvUIFacade::DoSearchWithString(const QString& key, const QString& name) {
    return KvUIController::DoSearchWithString(key, name);
}

QString KvUIFacade::GetSearchString() {
    return KvUIController::GetSearchString();
}

void KvUIFacade::StopSearch() {
    KvUIController::StopSearch();
}

void KvUIFacade::GetSearchResultToArr(std::vector<IFileNode*>* files) {
    KvUIController::GetSearchResultToArr(files);
}

void KvUIFacade::beginSaveOrRestoreNode(int save, const QString& path, const QString& imagePath) {
    KvUIController::beginSaveOrRestoreNode(save != 0, path, imagePath);
}

void KvUIFacade::RestorPostUIUpdate(const QString& name, bool save) {
    KvUIController::RestorPostUIUpdate(name, save);
}

void KvUIFacade::GetSaveorRestoreProgress(uint64_t& total, uint64_t& current, uint64_t& errorCode,
                                          bool saver) {
    KvUIController::GetSaveorRestoreProgress(&total, &current, &errorCode, saver);
}

void KvUIFacade::StopSaveOrRestore(bool save) {
    KvUIController::StopSaveOrRestore(save);
}

QString KvUIFacade::GetSaveFileName() {
    return KvUIController::GetSaveFileName();
}

bool KvUIFacade::SavePathToPList(const QString& path) {
    return KvUIController::SavePathToPList(path);
}

int64_t KvUIFacade::DoRecovery(const OpNodeArray& roots, const QString& path, const QString& name) {
    return static_cast<int64_t>(KvUIController::DoRecovery(&roots, path, name));
}

QString KvUIFacade::GetRecoveryProgressTotal(uint64_t& total, uint64_t& current,
                                             int64_t& errorCode) {
    uint64_t code = 0;
    const QString name = KvUIController::GetRecoveryProgressTotal(&total, &current, &code);
    errorCode = static_cast<int64_t>(code);
    return name;
}

uint64_t KvUIFacade::GetRecoveridedFiles() {
    return KvUIController::GetRecoveridedFiles();
}

bool KvUIFacade::IsRecoveryRunning() {
    return KvUIController::IsRecoveryRunning();
}

bool KvUIFacade::IsRecoveryPaused() {
    return KvUIController::IsRecoveryPaused();
}

void KvUIFacade::PauseOrResumeRecovery() {
    KvUIController::PauseOrResumeRecovery();
}

void KvUIFacade::StopRecvoery() {
    KvUIController::StopRecvoery();
}

QImage KvUIFacade::GetImageByFileNode(IFileNode* file) {
    return KvUIController::GetNSImageByFildNode(file);
}

void KvUIFacade::ReleaseDataRecovery() {
    KvUIController::ReleaseDataRecovery();
}

int KvUIFacade::KvOpenDmgFile(const QString& path) {
    return KvUIController::KvOpenDmgFile(path);
}

bool KvUIFacade::IsAppRunning() {
    return KvUIController::IsAppRunning();
}

void KvUIFacade::CloseApp() {
    KvUIController::CloseApp();
}

void KvUIFacade::GetSelectedFilesAmout(int* count, uint64_t* size) {
    KvUIController::GetSelectedFilesAmout(count, size);
}

bool KvUIFacade::IsRecoveryToSameDevice(const QString& folder) {
    return KvUIController::IsRecoveryToSameDevice(folder);
}

KvRecoveryCounts KvUIFacade::GetRecoveryCounts() {
    const KvUIRecovery::Counts counts = KvUIController::GetRecoveryCounts();
    return {counts.recovered, counts.partly, counts.failed, counts.skipped};
}
