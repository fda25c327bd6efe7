#include "KvProgressWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include "Alert.h"
#include "DialogParts.h"
#include "Geometry.h"
#include "KvDialogFading.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvProgressView.h"
#include "KvUIFacade.h"
#include "ModalRunner.h"
#include "Tr.h"

namespace {

constexpr double kWidth = 400;
constexpr double kHeight = 130;

void CentreOver(QWidget* window, QWidget* parent) {
    QRect area;
    if (parent != nullptr)
        area = parent->window()->frameGeometry();
    else if (QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        window->move(area.center() - window->rect().center());
}

int RunWait(bool save, const char* postName, QWidget* parent, const std::function<void()>& start) {
    KvProgressWindow window;
    window.setStrPostName(QString::fromLatin1(postName));
    window.setBSave(save);
    return window.runModal(parent, start);
}

}  // namespace

KvProgressWindow::KvProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      fading_(new KvDialogFading(this, false)),
      title_(DialogParts::makeText(this, {20, 85, 360, 24}, kHeight, 15)),
      description_(DialogParts::makeText(this, {20, 40, 360, 40}, kHeight, 12, true)),
      progress_(new KvProgressView(this)) {
    setWindowTitle(Tr("WINDOW_TOP_TITLE"));
    setFixedSize(kWidth, kHeight);
    progress_->setGeometry(FromBottomLeft({20, 24, 360, KvProgressView::kBarHeight}, kHeight));
    progress_->changeProgressValue(0);
    finishObserver_ = KvNotificationCenter::defaultCenter()->observe(
        kvnote::kQueryProgressFinish, this, [this](const QVariant&) { ProgressFinish(); });
    setBSave(false);
}

KvProgressWindow::~KvProgressWindow() {
    stopObserving();
}

void KvProgressWindow::setStrPostName(const QString& name) {
    strPostName_ = name;
    QObject::disconnect(progressObserver_);
    progressObserver_ = KvNotificationCenter::defaultCenter()->observe(
        name, this, [this](const QVariant&) { changeProgressValue(); });
}

void KvProgressWindow::setBSave(bool save) {
    bSave_ = save;
    title_->setText(Tr(save ? "SAVE_SCAN_RESULT" : "LOAD_SCAN_RESULT"));
    description_->setText(Tr(save ? "SAVE_RESULT_WAIT" : "LOAD_RESULT_WAIT"));
}

int KvProgressWindow::runModal(QWidget* parent, const std::function<void()>& start) {
    CentreOver(this, parent);
    if (start)
        start();
    if (!closed_)
        ModalRunner::runModalForWindow(this);
    return getResult();
}

void KvProgressWindow::changeProgressValue() {
    iErrorCode_ = 0;
    uint64_t total = 0;
    uint64_t current = 0;
    uint64_t errorCode = 0;
    KvUIFacade::current().GetSaveorRestoreProgress(total, current, errorCode, bSave_);
    const double value =
        static_cast<double>(current) * 100.0 / static_cast<double>(total == 0 ? 1 : total);
    // The bar never moves back.
    if (value > progressValue_) {
        progressValue_ = value;
        progress_->changeProgressValue(static_cast<float>(value));
    }
}

void KvProgressWindow::ProgressFinish() {
    if (bFinish_)
        return;
    uint64_t total = 0;
    uint64_t current = 0;
    uint64_t errorCode = 0;
    KvUIFacade::current().GetSaveorRestoreProgress(total, current, errorCode, bSave_);
    iErrorCode_ = static_cast<int32_t>(static_cast<uint32_t>(errorCode));
    bFinish_ = true;
    // Work stopped at the user's request is no success, however it ended.
    bSucess_ = isSuccessCode(errorCode) && !stopAsked_;
    qInfo("---------------Progress finish----------------");
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &KvProgressWindow::onTimer);
    timer_->start(kClosingDelayMs);
}

void KvProgressWindow::onTimer() {
    if (!bFinish_ || closed_)
        return;
    qInfo("----------call onTimer begin-------------");
    timer_->stop();
    stopObserving();
    // A result whose drive is not connected loads to be looked through: the
    // user learns first that its files cannot be read.
    const bool withoutDevice = !bSave_ && bSucess_ && KvUIFacade::current().IsResultWithoutDevice();
    if ((!bSucess_ && !stopAsked_) || withoutDevice) {
        Alert alert;
        alert.informativeText = Tr(withoutDevice ? "READ_RSF_DEVICE_MISSING" : "READ_RSF_FAILED");
        alert.defaultButton = Tr("QOV_FOUR_RECOVERY_NO_COMPETENCE_YES_BUTTON");
        alert.run();
    }
    qInfo("----------close ProgressWindow-------------");
    closed_ = true;
    fading_->closeNow();
    if (!bSave_ && bSucess_)
        KvNotificationCenter::defaultCenter()->post(kvnote::kShowDetailWindow);
    qInfo("----------call onTimer finish-------------");
}

void KvProgressWindow::closeWindow() {
    if (bFinish_ || stopAsked_)
        return;
    // The caller frees what the work fills once the window is gone: the
    // window waits for the work to end.
    stopAsked_ = true;
    KvUIFacade::current().StopSaveOrRestore(bSave_);
}

void KvProgressWindow::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    event->ignore();
    closeWindow();
}

void KvProgressWindow::stopObserving() {
    QObject::disconnect(progressObserver_);
    QObject::disconnect(finishObserver_);
}

int RunLoadWait(QWidget* parent, const std::function<void()>& start) {
    return RunWait(false, kvnote::kNormalScanValue, parent, start);
}

int RunSaveWait(QWidget* parent, const std::function<void()>& start) {
    return RunWait(true, kvnote::kQueryProgressInfo, parent, start);
}
