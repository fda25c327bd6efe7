#include "KvRootWindowController.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>

#include <cstdlib>

#include "Fader.h"
#include "Geometry.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvSelectDiskViewController.h"
#include "KvSelectTypeViewController.h"
#include "KvUIFacade.h"
#include "PageLayout.h"
#include "PrivateData.h"
#include "TCImageButton.h"
#include "Tr.h"

namespace {

using PageLayout::kPageHeight;
using PageLayout::kPageWidth;
using PageLayout::kTitleBarHeight;

constexpr int kAllCategories = 127;
constexpr int kScanStartDelayMs = 300;
// The results window stands this much lower than the main window.
constexpr int kResultsWindowDrop = 50;

TCImageButton* MakeTitleBarButton(QWidget* bar, const QString& stem, double x, const QString& tip) {
    auto* button = new TCImageButton(bar);
    button->setGeometry(FromBottomLeft(QRectF(x, 20, 16, 16), kTitleBarHeight));
    button->setImageFromFileNormalName(stem, stem + "_hover", stem + "_hover", stem);
    button->setToolTip(tip);
    return button;
}

}  // namespace

KvRootWindowController::Candidates KvRootWindowController::countCandidates(
    const DiskNodeArray& disks) {
    Candidates candidates;
    for (const DiskNodeRef& disk : disks) {
        // A disk the list gives no volumes takes no part.
        if (disk->children().empty())
            continue;
        uint64_t lastCapacity = 0;
        for (const DiskNodeRef& volume : disk->children()) {
            ++candidates.count;
            candidates.last = volume;
            if (!candidates.first)
                candidates.first = volume;
            lastCapacity = volume->capacity();
        }
        // Room outside a single volume may hold lost partitions.
        if (candidates.count == 1 && disk->capacity() - lastCapacity >= kRoomForPartitions)
            ++candidates.count;
    }
    return candidates;
}

KvRootWindowController::KvRootWindowController(KvShellWindows windows, QWidget* parent)
    : TCImageWindow(parent),
      windows_(std::move(windows)),
      backHomeButton_(new TCImageButton(this)),
      continueButton_(new TCImageButton(this)),
      contentArea_(new QWidget),
      pagesView_(new QWidget(contentArea_)),
      backLabel_(new QLabel(this)),
      continueLabel_(new QLabel(this)) {
    setTitleBarHeight(kTitleBarHeight);
    setTrafficLightButtonsLeftMargin(8);
    setTopButtonMoveUp(5);
    setContentView(contentArea_);
    setFixedSize(kPageWidth, kTitleBarHeight + kPageHeight);
    pagesView_->setGeometry(0, 0, kPageWidth, kPageHeight);

    // The buttons below the pages; each step gives them their faces.
    backHomeButton_->setGeometry(318, kTitleBarHeight + 496, 120, 36);
    continueButton_->setGeometry(478, kTitleBarHeight + 496, 120, 36);
    for (QLabel* label : {backLabel_, continueLabel_}) {
        label->setAlignment(Qt::AlignCenter);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    backLabel_->setGeometry(backHomeButton_->geometry());
    continueLabel_->setGeometry(continueButton_->geometry());
    for (QWidget* control :
         {static_cast<QWidget*>(backHomeButton_), static_cast<QWidget*>(continueButton_),
          static_cast<QWidget*>(backLabel_), static_cast<QWidget*>(continueLabel_)})
        control->hide();
    connect(backHomeButton_, &QAbstractButton::clicked, this, [this] {
        if (whichPage_ == 3)
            backHome();
        else
            selectTypesContinouButtonClick();
    });
    connect(continueButton_, &QAbstractButton::clicked, this,
            &KvRootWindowController::selectTypesContinouButtonClick);
}

KvRootWindowController::~KvRootWindowController() {
    stopObserving();
}

void KvRootWindowController::windowDidLoad() {
    if (KvUIFacade::current().IsAppRunning())
        std::exit(0);
    KvUIFacade::current().initFileType();
    // What a previous scan kept for copying out is of no use from here on.
    KvUIFacade::current().ReleaseDataRecovery();
    observe(kvnote::kShowDetailWindow, &KvRootWindowController::showDetailWindow);
    selectScanType_ = 1;
    if (titleLabel_ == nullptr) {
        titleLabel_ = new QLabel(Tr("WINDOW_TOP_TITLE"), titleBarView());
        titleLabel_->setGeometry(FromBottomLeft(QRectF(80, 18, 300, 25), kTitleBarHeight));
        titleLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        QFont font(QStringLiteral("Helvetica Neue Light"));
        font.setPointSize(14);
        titleLabel_->setFont(font);
    }
    setWindowTitle(Tr("WINDOW_TOP_TITLE"));
    // Room for the two pages side by side.
    pagesView_->setGeometry(0, 0, 2 * kPageWidth, kPageHeight);
    buildTileBarView();
    buildFristPageView();
    loaded_ = true;
}

void KvRootWindowController::buildTileBarView() {
    if (aboutButton_ == nullptr) {
        aboutButton_ = MakeTitleBarButton(titleBarView(), "icon_infor", 860, "About us");
        connect(aboutButton_, &QAbstractButton::clicked, this,
                &KvRootWindowController::aboutAction);
    }
    createImportButton();
}

void KvRootWindowController::createImportButton() {
    if (importButton_ != nullptr)
        return;
    importButton_ =
        MakeTitleBarButton(titleBarView(), "icon_import", 828, Tr("QOV_TWO_IMPORT_BUTTON_TIP"));
    connect(importButton_, &QAbstractButton::clicked, this,
            &KvRootWindowController::importButtonAction);
}

void KvRootWindowController::aboutAction() {
    if (windows_.showAbout)
        windows_.showAbout(this);
    activateWindow();
}

void KvRootWindowController::buildFristPageView() {
    InfoButtonClick();
}

void KvRootWindowController::InfoButtonClick() {
    delete selectTypeVC_;
    selectTypeVC_ = new KvSelectTypeViewController(pagesView_);
    selectTypeVC_->move(0, 0);
    connect(selectTypeVC_, &KvSelectTypeViewController::nextButtonActionWithAllTypeArr, this,
            &KvRootWindowController::nextButtonActionWithAllTypeArr);
    connect(selectTypeVC_, &KvSelectTypeViewController::changeScanTypeWithNum, this,
            &KvRootWindowController::changeScanTypeWithNum);
    connect(selectTypeVC_, &KvSelectTypeViewController::isSelectOffice, this,
            &KvRootWindowController::isSelectOffice);
    connect(selectTypeVC_, &KvSelectTypeViewController::importButtonAction, this,
            &KvRootWindowController::importButtonAction);
    selectTypeVC_->show();
    selectTypeVC_->setSelectAllCount(0);
    selectTypeVC_->allTypesButtonClick();
    whichPage_ = 2;
    backHomeButton_->setIsFocus(false);
}

void KvRootWindowController::showTypePageAlone() {
    whichPage_ = 2;
    backHomeButton_->setButtonEnabled(true);
    continueButton_->setButtonEnabled(true);
    for (QWidget* control :
         {static_cast<QWidget*>(backHomeButton_), static_cast<QWidget*>(continueButton_),
          static_cast<QWidget*>(backLabel_), static_cast<QWidget*>(continueLabel_)})
        control->hide();
}

void KvRootWindowController::nextButtonActionWithAllTypeArr(const QStringList& categories) {
    allTypeArr_ = categories;
    selectValues_ = KvSelectTypeViewController::maskOf(categories);
    selectTypesContinouButtonClick();
}

void KvRootWindowController::selectTypesContinouButtonClick() {
    if (whichPage_ == 2) {
        continueButton_->setButtonEnabled(false);
        backHomeButton_->setButtonEnabled(false);
        getDiskData();
        return;
    }
    if (!selectVolumeData_ || selectVolumeData_->beCanOpen() == 0) {
        if (windows_.showVolumeNotice)
            windows_.showVolumeNotice(this);
        // The device page was skipped: the type page stays as it first was.
        if (selectDiskVC_ == nullptr)
            showTypePageAlone();
        activateWindow();
        return;
    }
    if (selectDiskVC_ != nullptr) {
        selectDiskVC_->removeNotification();
        selectDiskVC_->disableRefreshDevice();
    }
    hide();
    deletailWC_ = makeResultsWindow();
    if (deletailWC_) {
        deletailWC_->setSelectDiskVolumeData(selectVolumeData_);
        deletailWC_->setScanTypeNum(selectScanType_);
        deletailWC_->setSelectDesktop(selectDesktop_);
        deletailWC_->window()->show();
        deletailWC_->window()->activateWindow();
        QTimer::singleShot(kScanStartDelayMs, this,
                           &KvRootWindowController::getDataForDeletailPage);
    }
    stopObserving();
}

std::unique_ptr<KvDeletailWindow> KvRootWindowController::makeResultsWindow() {
    deletailWC_.reset();
    if (!windows_.makeResultsWindow)
        return nullptr;
    std::unique_ptr<KvDeletailWindow> results = windows_.makeResultsWindow();
    if (results) {
        QWidget* window = results->window();
        window->move(pos() + QPoint(0, kResultsWindowDrop));
    }
    return results;
}

void KvRootWindowController::getDataForDeletailPage() {
    if (deletailWC_)
        deletailWC_->getData();
}

void KvRootWindowController::getDiskData() {
    stopObserving();
    // Observed first: a device list that is ready is announced at once.
    observe(kvnote::kInitFinished, &KvRootWindowController::InitFinished);
    KvUIFacade::current().NotifiyDeviceInfoAfterInit(kvnote::kInitFinished);
}

void KvRootWindowController::setContinueButton(TCImageButton* button, QLabel* label,
                                               const QString& stem, const QString& caption) {
    button->setImageFromFileNormalName(stem + "_normal", stem + "_press", stem + "_hover",
                                       stem + "_disable");
    label->setText(caption);
    button->show();
    label->show();
    label->raise();
}

void KvRootWindowController::InitFinished() {
    DiskNodeArray disks;
    KvUIFacade::current().GetDeviceInfoToArray(&disks);
    const Candidates candidates = countCandidates(disks);

    setContinueButton(backHomeButton_, backLabel_, "back", Tr("COMM_BACK_BUTTON"));
    backHomeButton_->setButtonEnabled(true);
    setContinueButton(continueButton_, continueLabel_, "continue", QString());
    whichPage_ = 3;
    KvUIFacade::current().SetRecoveryType(static_cast<unsigned int>(selectValues_));

    if (candidates.count <= 1 && !disks.empty()) {
        selectVolumeData_ = candidates.last;
        selectTypesContinouButtonClick();
        stopObserving();
        return;
    }
    delete selectDiskVC_;
    selectDiskVC_ = new KvSelectDiskViewController(pagesView_);
    connect(selectDiskVC_, &KvSelectDiskViewController::backHome, this,
            &KvRootWindowController::backHome);
    connect(selectDiskVC_, &KvSelectDiskViewController::changeSelectDiskViewContinueButtonEnabled,
            this, &KvRootWindowController::changeSelectDiskViewContinueButtonEnabled);
    connect(selectDiskVC_, &KvSelectDiskViewController::doubleClickedListToScan, this,
            &KvRootWindowController::doubleClickedListToScan);
    selectDiskVC_->move(kPageWidth - 16, 30);
    // The window's own back and scan buttons serve the page.
    selectDiskVC_->backButton()->hide();
    selectDiskVC_->scanButton()->hide();
    selectDiskVC_->show();
    setContinueButton(continueButton_, continueLabel_, "scan", Tr("QOV_THREE_SCAN_BUTTON"));
    slide(selectTypeVC_, -kPageWidth, selectDiskVC_, 0);
    continueButton_->setButtonEnabled(false);
    selectDiskVC_->setSelectDiskVolume(candidates.first);
    selectDiskVC_->setAllDiskArr(std::move(disks));
    selectDiskVC_->InitFinished();
    stopObserving();
}

void KvRootWindowController::slide(QWidget* first, int firstX, QWidget* second, int secondX) {
    first->move(firstX, 0);
    second->move(secondX, 0);
    backHomeButton_->raise();
    continueButton_->raise();
    backLabel_->raise();
    continueLabel_->raise();
}

void KvRootWindowController::changeSelectDiskViewContinueButtonEnabled(const DiskNodeRef& volume) {
    if (volume) {
        continueButton_->setButtonEnabled(true);
        selectVolumeData_ = volume;
    } else {
        continueButton_->setButtonEnabled(false);
    }
}

void KvRootWindowController::doubleClickedListToScan(int desktop) {
    selectDesktop_ = desktop;
    selectTypesContinouButtonClick();
}

void KvRootWindowController::backHome() {
    const bool keepsOffice = allTypeArr_.contains(QStringLiteral("8")) && isSelectOffice_ != 0;
    if (!keepsOffice) {
        isSelectOffice_ = 0;
        selectTypeVC_->removeSelectOffice();
    }
    setContinueButton(backHomeButton_, backLabel_, "continue", Tr("QOV_TWO_CONTINUE_BUTTON"));
    if (selectDiskVC_ != nullptr)
        slide(selectTypeVC_, 0, selectDiskVC_, kPageWidth);
    whichPage_ = 2;
    continueButton_->hide();
    continueLabel_->hide();
}

void KvRootWindowController::importButtonClick() {
    if (!windows_.chooseSavedResult)
        return;
    const QString chosen =
        windows_.chooseSavedResult(this, PrivateData::value(QStringLiteral("SavePath")).toString());
    if (!chosen.isEmpty())
        importSavedResult(chosen);
}

void KvRootWindowController::importSavedResult(const QString& path) {
    KvUIFacade::current().SetRecoveryType(kAllCategories);
    importFilePath_ = path;
    deletailWC_ = makeResultsWindow();
    if (!deletailWC_)
        return;
    deletailWC_->window()->hide();
    if (whichPage_ == 3)
        observe(kvnote::kShowDetailWindow, &KvRootWindowController::showDetailWindow);
    int loaded = 0;
    if (windows_.runLoadWait)
        loaded = windows_.runLoadWait(this, [this] { getImportDataForDetialPage(); });
    activateWindow();
    stopObserving();
    if (loaded != 0) {
        if (selectDiskVC_ != nullptr) {
            selectDiskVC_->deleteLater();
            selectDiskVC_ = nullptr;
        }
        hide();
        deletailWC_->window()->show();
        deletailWC_->window()->activateWindow();
    } else {
        deletailWC_->clearImportData();
        deletailWC_->window()->hide();
        deletailWC_.reset();
    }
}

void KvRootWindowController::getImportDataForDetialPage() {
    if (selectDiskVC_ != nullptr)
        selectDiskVC_->disableRefreshDevice();
    // The results window claims the load for its progress first: the bridge
    // refuses the claim of a load already begun, and the load would be
    // reported failed while it goes on.
    if (deletailWC_)
        deletailWC_->getImportData(importFilePath_);
    KvUIFacade::current().beginSaveOrRestoreNode(0, importFilePath_, QString());
}

void KvRootWindowController::showDetailWindow() {
    if (deletailWC_)
        deletailWC_->window()->show();
}

void KvRootWindowController::doSowExportOztWindow() {
    if (!windows_.chooseDiskImage)
        return;
    const QString chosen = windows_.chooseDiskImage(this);
    if (!chosen.isEmpty())
        loadOztWithPath(chosen);
}

void KvRootWindowController::loadOztWithPath(const QString& path) {
    if (QFileInfo(path).suffix() != QLatin1String("dmg"))
        return;
    if (KvUIFacade::current().KvOpenDmgFile(path) != 0 && selectDiskVC_ != nullptr)
        selectDiskVC_->RefreshDevice();
}

void KvRootWindowController::closeWindow() {
    hide();
    KvNotificationCenter::defaultCenter()->post(kvnote::kAppWillTerminate);
}

void KvRootWindowController::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, once it has faded out.
    event->ignore();
    Fader::fadeOut(this, [this] { closeWindow(); });
}

void KvRootWindowController::observe(const char* name, void (KvRootWindowController::*handler)()) {
    observers_.push_back(KvNotificationCenter::defaultCenter()->observe(
        name, this, [this, handler](const QVariant&) { (this->*handler)(); }));
}

void KvRootWindowController::stopObserving() {
    for (const QMetaObject::Connection& observer : observers_)
        QObject::disconnect(observer);
    observers_.clear();
}
