#include <cstdio>

#include "EngineLog.h"
#include "FileNode.h"
#include "KvUIController.h"
#include "KvUIFilter.h"
#include "KvUIRecovery.h"
#include "KvUIScan.h"

namespace {

// No tree to recover from or no folder to recover into.
constexpr RESULT_CODE kNoRecoveryTarget = 0x0102052400000001ull;
// Another recovery runs, or a scan is changing the results.
constexpr RESULT_CODE kRecoveryBusy =
    MakeFailure(kModuleBridgeRecovery, 0x0525, kResultNotSupported);

}  // namespace

std::vector<IFileNode*> KvUIController::GetSelectedFilesAndSize(uint64_t* size) {
    std::vector<IFileNode*> selected;
    for (const auto& [category, nodes] : KvUIScan::instance()->GetTypeMap()) {
        for (IFileNode* node : nodes) {
            if (node == nullptr || !node->IsNodeShow() ||
                node->GetCheckedStatus() != CHECK_STATUS_CHECKED)
                continue;
            selected.push_back(node);
            if (size != nullptr)
                *size += static_cast<uint64_t>(node->GetFileSize());
        }
    }
    return selected;
}

void KvUIController::GetSelectedFilesAmout(int* count, uint64_t* size) {
    uint64_t bytes = 0;
    const std::vector<IFileNode*> selected = GetSelectedFilesAndSize(&bytes);
    if (count != nullptr)
        *count = static_cast<int>(selected.size());
    if (size != nullptr)
        *size += bytes;
    KvUIRecovery* recovery = KvUIRecovery::instance();
    recovery->SetRecoveryTotalSize(bytes);
    recovery->SetRecoveryTotalFilesCnt(selected.size());
}

RESULT_CODE KvUIController::DoRecovery(const OpNodeArray* roots, const QString& folder,
                                       const QString& name) {
    if (roots == nullptr || folder.isNull())
        return kNoRecoveryTarget;
    KvUIRecovery* recovery = KvUIRecovery::instance();
    // One recovery at a time; the results it copies stay until it has done.
    if (!recovery->ExchangeStatus(KV_STATUS_IDLE, KV_STATUS_RUNNING))
        return kRecoveryBusy;
    if (!KvUIScan::instance()->AcquireResults()) {
        recovery->SetStatus(KV_STATUS_IDLE);
        return kRecoveryBusy;
    }
    recovery->SetRecoveryPath(QString(folder + QLatin1Char('/')).toUtf8().constData());
    recovery->ClearCreateDirIndex();
    DoOperation([] { DoRecoveryFn(); }, recovery, name, true);
    return 0;
}

void KvUIController::DoRecoveryFn() {
    KvUIRecovery* recovery = KvUIRecovery::instance();
    recovery->DoRecovery();
    KvUIScan::instance()->ReleaseResults();
    const KvUIRecovery::Counts counts = recovery->GetRecoveryCounts();
    CatchExeception::WriteLog(
        "recovery ended: %llu recovered, %llu partly, %llu failed, %llu skipped\n",
        static_cast<unsigned long long>(counts.recovered),
        static_cast<unsigned long long>(counts.partly),
        static_cast<unsigned long long>(counts.failed),
        static_cast<unsigned long long>(counts.skipped));
}

QString KvUIController::GetRecoveryProgressTotal(uint64_t* total, uint64_t* current,
                                                 uint64_t* errorCode) {
    KvUIRecovery* recovery = KvUIRecovery::instance();
    const _PROGRESS_INFO info = recovery->GetProgressInfo();
    if (total != nullptr)
        *total = info.total;
    if (current != nullptr)
        *current = info.done;
    if (errorCode != nullptr)
        *errorCode = info.result;
    return QString::fromStdString(recovery->GetCurrentRecoveryFileName());
}

bool KvUIController::IsRecoveryRunning() {
    const int status = KvUIRecovery::instance()->GetStatus();
    return status == KV_STATUS_RUNNING || status == KV_STATUS_PAUSED;
}

bool KvUIController::IsRecoveryPaused() {
    return KvUIRecovery::instance()->GetStatus() == KV_STATUS_PAUSED;
}

void KvUIController::StopRecvoery() {
    KvUIRecovery::instance()->StopOperation(1);
}

void KvUIController::PauseOrResumeRecovery() {
    KvUIRecovery::instance()->PauseOrResumeOperation();
}

bool KvUIController::IsRecoveryToSameDevice(const QString& folder) {
    return KvUIRecovery::instance()->RecoveryPathIsSameDevice(folder.toUtf8().constData()) != 0;
}

uint64_t KvUIController::GetRecoveridedSize() {
    return KvUIRecovery::instance()->GetRecoveriedFileSize();
}

uint64_t KvUIController::GetRecoveridedFiles() {
    // Files handed to the engine include those that failed: not recovered.
    const KvUIRecovery::Counts counts = KvUIRecovery::instance()->GetRecoveryCounts();
    return counts.recovered + counts.partly;
}

KvUIRecovery::Counts KvUIController::GetRecoveryCounts() {
    return KvUIRecovery::instance()->GetRecoveryCounts();
}

void KvUIController::ReleaseDataRecovery() {
    KvUIScan* scan = KvUIScan::instance();
    if (IsRecoveryRunning() || scan->ResultUsers() > 0)
        return;
    scan->ReleaseDataRecovery();
    KvUIRecovery::instance()->ReleaseDataRecovery();
}

void KvUIController::SetRecoveryType(uint32_t mask) {
    KvUIFilter::instance()->ResetFilter(mask);
}
