#include <QDateTime>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "EngineLog.h"
#include "KvJoinedThreads.h"
#include "KvNotificationNames.h"
#include "KvSaveAndRestoreNodeOperate.h"
#include "KvUIController.h"
#include "KvUIDeviceData.h"
#include "KvUIPublic.h"
#include "KvUIScan.h"
#include "PrivateData.h"
#include "SaveRestoreResult.h"

namespace {

constexpr std::chrono::milliseconds kPollPeriod{100};
// A save or load that could not start, or was refused while another
// operation held the results.
constexpr RESULT_CODE kNotStarted = MakeFailure(kModuleBridgeRecovery, 0x0526, kResultFailed);
// Characters FAT and exFAT destinations refuse in a name.
constexpr char16_t kRefusedInNames[] = u"/\\:*?\"<>|";

// Per kind (index 1 saving, 0 loading): the request was refused, so the
// operation was never marked running and nothing is started.
std::array<std::atomic<bool>, 2> g_refused{};

KvUIOperation* OperationOf(bool save) {
    return save ? static_cast<KvUIOperation*>(KvSaveAndRestoreNodeOperate::instance())
                : KvUIScan::instance();
}

// Ends an operation that never started, as a failure.
void EndUnstarted(KvUIOperation* operation) {
    _PROGRESS_INFO failed{};
    failed.state = PROGRESS_STATE_FINISHED;
    failed.total = 100;
    failed.result = kNotStarted;
    operation->SetProgressInfo(failed);
    operation->SetStatus(KV_STATUS_IDLE);
}

KvJoinedThreads& Pollers() {
    static KvJoinedThreads pollers([] { Pollers().joinAll(); });
    return pollers;
}

const char* OrNull(const QString& text, const QByteArray& utf8) {
    return text.isNull() ? nullptr : utf8.constData();
}

}  // namespace

void KvUIController::RestorPostUIUpdate(const QString& name, bool save) {
    bool granted = false;
    if (save) {
        granted = KvSaveAndRestoreNodeOperate::instance()->ExchangeStatus(KV_STATUS_IDLE,
                                                                          KV_STATUS_RUNNING);
    } else {
        // A load replaces the results: never while a scan runs or another
        // operation still uses them.
        granted = KvUIScan::instance()->BeginScanRequest();
    }
    g_refused[save ? 1 : 0] = !granted;
    Pollers().start([name, save] { QueryUpdateUI(name, save); });
}

void KvUIController::QueryUpdateUI(const QString& name, bool save) {
    if (!g_refused[save ? 1 : 0]) {
        KvUIOperation* operation = OperationOf(save);
        while (!operation->IsOperationExit()) {
            std::this_thread::sleep_for(kPollPeriod);
            if (operation->IsNeedUIUpdate()) {
                operation->SetNeedUIUpdate(0);
                KvUIPublic::NotifyMainThread(name);
            }
        }
    }
    CatchExeception::WriteLog("---------Send Progress finish notify to UI-------");
    KvUIPublic::NotifyMainThread(kvnote::kQueryProgressFinish);
    CatchExeception::WriteLog("---------The Progress thread is exited-----------");
}

void KvUIController::beginSaveOrRestoreNode(bool save, const QString& path,
                                            const QString& imagePath) {
    if (g_refused[save ? 1 : 0])
        return;
    const QByteArray file = path.toUtf8();
    if (save) {
        KvSaveAndRestoreNodeOperate* saver = KvSaveAndRestoreNodeOperate::instance();
        // A save refused while a scan runs has reported its end itself.
        const int started = DoSaveScanResult(OrNull(path, file), saver);
        if (started == -1 || started == -2)
            EndUnstarted(saver);
        return;
    }
    KvUIScan* scan = KvUIScan::instance();
    // The rows of the last result's nodes go before the load releases them.
    KvResetTreeNodeData();
    scan->ClearData();
    scan->SetStatus(KV_STATUS_RUNNING);
    const QByteArray image = imagePath.toUtf8();
    if (DoRestoreScanResult(OrNull(path, file), scan, OrNull(imagePath, image)) != 0)
        EndUnstarted(scan);
}

void KvUIController::GetSaveorRestoreProgress(uint64_t* total, uint64_t* current,
                                              uint64_t* errorCode, bool saver) {
    _PROGRESS_INFO info{};
    if (g_refused[saver ? 1 : 0]) {
        info.state = PROGRESS_STATE_FINISHED;
        info.total = 100;
        info.result = kNotStarted;
    } else {
        info = OperationOf(saver)->GetProgressInfo();
    }
    // A finished record shows as complete only when it succeeded.
    if (info.state == PROGRESS_STATE_FINISHED)
        info.done = info.result == 0 ? info.total : 0;
    if (total != nullptr)
        *total = info.total;
    if (current != nullptr)
        *current = info.done;
    if (errorCode != nullptr)
        *errorCode = info.result;
}

void KvUIController::StopSaveOrRestore(bool save) {
    // A refused request started nothing of its own to stop.
    if (!g_refused[save ? 1 : 0])
        OperationOf(save)->StopOperation(1);
}

bool KvUIController::SavePathToPList(const QString& folder) {
    return PrivateData::setValue(QStringLiteral("SavePath"), folder);
}

QString KvUIController::GetSavePath() {
    const QJsonValue folder = PrivateData::value(QStringLiteral("SavePath"));
    return folder.isString() ? folder.toString() : QString();
}

QString KvUIController::GetSaveFileName() {
    _DiskVolumeData record;
    KvUIDeviceData::instance()->GetDataByStorage(KvUIScan::instance()->GetSavedStorage(), record);
    return SaveFileNameFor(QString::fromUtf8(record.name != nullptr ? record.name : ""),
                           QDateTime::currentDateTime());
}

QString KvUIController::SaveFileNameFor(const QString& deviceName, const QDateTime& when) {
    QString name = deviceName;
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || QStringView(kRefusedInNames).contains(c))
            c = QLatin1Char('_');
    }
    const QDate day = when.date();
    const QTime time = when.time();
    // The time with dots: a name with ":" cannot be made on FAT or exFAT.
    return name + QString::asprintf("_%02d-%02d-%04d at %02d.%02d.%02d", day.month(), day.day(),
                                    day.year(), time.hour(), time.minute(), time.second());
}
