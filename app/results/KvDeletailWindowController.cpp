#include "KvDeletailWindowController.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "Alert.h"
#include "CNGridView.h"
#include "DeviceRemoval.h"
#include "DiskVolumeNodeData.h"
#include "Fader.h"
#include "Geometry.h"
#include "KvAboutWindowController.h"
#include "KvNSTableView.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvProgressView.h"
#include "KvPublicUtilities.h"
#include "KvResultTrees.h"
#include "KvSegmentedControl.h"
#include "KvUIFacade.h"
#include "ScanQuestion.h"
#include "TCImageButton.h"
#include "Tr.h"
#include "UserDefaults.h"

namespace {

constexpr int kLeftPaneWidth = 224;
// The scan controls' box in the strip, and where it starts.
constexpr int kBoxX = 175;
constexpr int kBoxWidth = 720;
constexpr int kSegmentX = 585;
constexpr int kSearchX = 695;
constexpr int kDesktopSegmentX = 775;
// A control's frame in the box as laid out for its narrowest width.
constexpr const char* kBoxFrame = "boxFrame";

QFont NamedFont(const char* family, int pixels) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixels);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

// A button of four pictures named <stem>_normal, _press, _hover and _disable.
TCImageButton* MakeImageButton(QWidget* parent, const QString& stem, const QString& tip) {
    auto* button = new TCImageButton(parent);
    button->setImageFromFileNormalName(stem + "_normal", stem + "_press", stem + "_hover",
                                       stem + "_disable");
    if (!tip.isEmpty())
        button->setToolTip(tip);
    return button;
}

QWidget* MakeContainer(QWidget* parent, const char* name, QWidget* content) {
    auto* container = new QWidget(parent);
    container->setObjectName(QString::fromLatin1(name));
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (content != nullptr)
        layout->addWidget(content);
    return container;
}

}  // namespace

KvDeletailWindowController::KvDeletailWindowController(QWidget* parent) : TCImageWindow(parent) {
    setObjectName(QStringLiteral("ExhibitionXib"));
    loadNib();
    awakeFromNib();
    windowDidLoad();
    setUpSearch();
    setUpRecovery();
}

KvDeletailWindowController::~KvDeletailWindowController() {
    // Nothing may reach the window from here on: no notification, no timer,
    // no picture loader.
    stopObserving();
    if (refreshTimer != nullptr)
        refreshTimer->stop();
    getPorTimer.reset();
    foundCountTimer.reset();
    delayedCalls.clear();
    stopAllImageLoadingAndWait();
    // The facade outlives the window: it must not keep filling these arrays.
    const KvTreeRoots none;
    KvUIFacade::current().KvSetTreeNodeData(&none);
}

// The views, as the interface file lays them out.

void KvDeletailWindowController::loadNib() {
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("contentView"));
    setContentView(content);
    resize(kWindowWidth, kWindowHeight);
    setMinimumSize(kWindowWidth, kWindowHeight);

    blowView = new QWidget(content);
    blowView->setObjectName(QStringLiteral("blowView"));
    blowView->setAutoFillBackground(true);

    auto* toolBar = new QWidget(content);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    pathButton = new QPushButton(toolBar);
    typeButton = new QPushButton(toolBar);
    timeButton = new QPushButton(toolBar);
    int tabX = 10;
    for (QPushButton* tab : {pathButton, typeButton, timeButton}) {
        tab->setFlat(true);
        tab->setGeometry(tabX, 3, 68, 25);
        tabX += 70;
    }
    pathButton->setObjectName(QStringLiteral("pathButton"));
    typeButton->setObjectName(QStringLiteral("typeButton"));
    timeButton->setObjectName(QStringLiteral("timeButton"));
    segment = new KvSegmentedControl({Tr("List"), Tr("Grid"), Tr("Flow")}, toolBar);
    segment->setObjectName(QStringLiteral("segment"));
    segment->setFont(NamedFont("Helvetica", 11));
    segment->setSelectedSegment(0);
    search = new QLineEdit(toolBar);
    search->setObjectName(QStringLiteral("search"));
    search->setClearButtonEnabled(true);
    search->setEnabled(false);

    splistView = new QSplitter(Qt::Horizontal, content);
    splistView->setObjectName(QStringLiteral("splistView"));
    splistView->setChildrenCollapsible(false);
    splistLeftView = new QWidget(splistView);
    splistLeftView->setObjectName(QStringLiteral("splistLeftView"));
    buildLeftSide(splistLeftView);
    auto* right = new QWidget(splistView);
    right->setObjectName(QStringLiteral("splistRightView"));
    buildRightSide(right);
    splistView->addWidget(splistLeftView);
    splistView->addWidget(right);
    splistView->setStretchFactor(1, 1);
    splistView->setSizes({kLeftPaneWidth, kWindowWidth - kLeftPaneWidth});

    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    blowView->setFixedHeight(kControlStripHeight);
    toolBar->setFixedHeight(kToolBarHeight);
    column->addWidget(blowView);
    column->addWidget(toolBar);
    column->addWidget(splistView, 1);
}

void KvDeletailWindowController::buildLeftSide(QWidget* left) {
    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    changeTimeBlowView = MakeContainer(left, "changeTimeBlowView", nullptr);
    auto* dates = new QHBoxLayout;
    dates->setContentsMargins(10, 2, 10, 2);
    creatButton = new QPushButton(changeTimeBlowView);
    creatButton->setObjectName(QStringLiteral("creatButton"));
    modifyButton = new QPushButton(changeTimeBlowView);
    modifyButton->setObjectName(QStringLiteral("modifyButton"));
    // The chosen date stays pressed; clicking it again keeps it chosen.
    auto* choices = new QButtonGroup(changeTimeBlowView);
    choices->setExclusive(true);
    for (QPushButton* choice : {creatButton, modifyButton}) {
        choice->setFlat(true);
        choice->setCheckable(true);
        choices->addButton(choice);
        dates->addWidget(choice);
    }
    static_cast<QVBoxLayout*>(changeTimeBlowView->layout())->addLayout(dates);
    changeTimeBlowView->hide();
    column->addWidget(changeTimeBlowView);

    pathOutlineView = new CommOutlineView;
    typeOutlineView = new CommOutlineView;
    createTimeOutlineView = new CommOutlineView;
    modifyTimeOutlineView = new CommOutlineView;
    pathOutlineView->setObjectName(QStringLiteral("pathOutlineView"));
    typeOutlineView->setObjectName(QStringLiteral("typeOutlineView"));
    createTimeOutlineView->setObjectName(QStringLiteral("createTimeOutlineView"));
    modifyTimeOutlineView->setObjectName(QStringLiteral("modifyTimeOutlineView"));
    pathBlowView = MakeContainer(left, "pathBlowView", pathOutlineView);
    typeBlowView = MakeContainer(left, "typeBlowView", typeOutlineView);
    createTimeBlowView = MakeContainer(left, "createTimeBlowView", createTimeOutlineView);
    modifyTimeBlowView = MakeContainer(left, "modifyTimeBlowView", modifyTimeOutlineView);
    for (QWidget* container : {pathBlowView, typeBlowView, createTimeBlowView, modifyTimeBlowView})
        column->addWidget(container, 1);
    typeBlowView->hide();
    createTimeBlowView->hide();
    modifyTimeBlowView->hide();
}

void KvDeletailWindowController::buildRightSide(QWidget* right) {
    auto* column = new QVBoxLayout(right);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    tableView = new KvNSTableView;
    tableView->setObjectName(QStringLiteral("tableView"));
    tableScrollView = tableView;
    listTableViewBlowView = MakeContainer(right, "listTableViewBlowView", tableView);

    gridMainView = new CNGridView;
    gridMainView->setObjectName(QStringLiteral("gridMainView"));
    newGridView = new QScrollArea;
    newGridView->setObjectName(QStringLiteral("newGridView"));
    newGridView->hide();
    gridView = MakeContainer(right, "gridView", gridMainView);
    gridView->layout()->addWidget(newGridView);
    gridView->hide();

    flowView = new CoverFlowView;
    flowView->setObjectName(QStringLiteral("flowView"));
    coverFlowerTableView = new KvNSTableView;
    coverFlowerTableView->setObjectName(QStringLiteral("coverFlowerTableView"));
    coverFlower = MakeContainer(right, "coverFlower", flowView);
    static_cast<QVBoxLayout*>(coverFlower->layout())->setStretch(0, 3);
    static_cast<QVBoxLayout*>(coverFlower->layout())->addWidget(coverFlowerTableView, 2);
    coverFlower->hide();

    for (QWidget* view : {listTableViewBlowView, gridView, coverFlower})
        column->addWidget(view, 1);
}

void KvDeletailWindowController::awakeFromNib() {
    detachObserver_ = KvNotificationCenter::defaultCenter()->observe(
        kvnote::kRefreshDetachDevice, this,
        [this](const QVariant& object) { RefreshDevice(object); });
    items.clear();
    // The tables' column titles come from their models.
    typeButton->setText(Tr("QOV_FOUR_SELECT_TYPE_BUTTON_TYPE"));
    pathButton->setText(Tr("QOV_FOUR_SELECT_TYPE_BUTTON_PATH"));
    timeButton->setText(Tr("QOV_FOUR_SELECT_TYPE_BUTTON_TIME"));
    creatButton->setText(Tr("CREATE_TIME_ROOT_NAME"));
    modifyButton->setText(Tr("MODIFY_TIME_ROOT_NAME"));
    bSave = 0;
    shuttingDown = 0;
    isRecoeryFromRecoveryWindow = 0;
    flowSelectedIndex = 0;
    publicItem.reset();
    tableViewCellNum = -1;
    if (!isVisible())
        Fader::fadeIn(this);
    rectNew = QRect();
    defaultLayout = CNGridViewItemLayout::defaultLayout();
    hoverLayout = CNGridViewItemLayout::defaultLayout();
    selectionLayout = CNGridViewItemLayout::defaultLayout();
    nImageState_ = -1;
    gridImageState_ = -1;
    if (selectDesktop == 1)
        applyDesktopMode();
}

void KvDeletailWindowController::windowDidLoad() {
    for (CommOutlineView* outline :
         {pathOutlineView, typeOutlineView, createTimeOutlineView, modifyTimeOutlineView})
        outline->setMDelegate(this);
    for (KvNSTableView* table : {tableView, coverFlowerTableView})
        table->horizontalHeader()->setSectionsMovable(false);
    aWindow = this;
    setTitleBarHeight(kTitleBarHeight);
    setTrafficLightButtonsLeftMargin(8);
    setTopButtonMoveUp(0);
    if (titleLabel == nullptr) {
        titleLabel = new QLabel(titleBarView());
        titleLabel->setObjectName(QStringLiteral("titleLabel"));
        titleLabel->setGeometry(FromBottomLeft(QRectF(80, 7, 300, 25), kTitleBarHeight));
        titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        titleLabel->setFont(NamedFont("Helvetica Neue Light", 14));
        // Our title text already holds the product's name, as in every window.
        titleLabel->setText(Tr("WINDOW_TOP_TITLE"));
    }
    setShowsTitle(true);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    isCanClick = 1;
    isCloseWindow = 0;
    isPause = 0;
    isImport = 0;
    isBackHome = 0;

    buildDetailViewWindowTitleBar();
    setUpListTables();
    setUpTreeTabs();
    setUpImageLoaders();
    setUpScanControls();
    setUpScanProgress();

    KvTreeRoots roots;
    roots.path = &allDiskArr;
    roots.type = &allTypeArr;
    roots.created = &allCreatTimeArr;
    roots.modified = &allModifyTimeArr;
    KvUIFacade::current().KvSetTreeNodeData(&roots);

    arrList.clear();
    photos.clear();
    imagesNameArr.clear();
    flowView->setDataSource(this);
    gridMainView->setDataSource(this);
    gridMainView->setDelegate(this);

    if (refreshTimer != nullptr) {
        refreshTimer->stop();
        refreshTimer = nullptr;
        viewLoadCnt_ = 0;
    }
    isDeepScan = KvUIFacade::current().IsDeepScan() ? 1 : 0;
    segment->setEnabled(isDeepScan == 0);
    if (selectDesktop == 1)
        applyDesktopMode();
}

void KvDeletailWindowController::buildDetailViewWindowTitleBar() {
    const double stripHeight = kControlStripHeight;
    if (backHomeButton == nullptr) {
        backHomeButton = MakeImageButton(blowView, "icon_home", Tr("Back home"));
        backHomeButton->setObjectName(QStringLiteral("backHomeButton"));
        backHomeButton->setGeometry(FromBottomLeft(QRectF(20, 15, 60, 60), stripHeight));
        backHomeButton->setButtonEnabled(false);
    }
    if (progressView == nullptr) {
        progressView = new KvProgressView(blowView);
        progressView->setObjectName(QStringLiteral("progressView"));
        progressView->setGeometry(FromBottomLeft(QRectF(0, 86, 900, 4), stripHeight));
        progressView->changeProgressValue(0);
    }
    createExportButton(1);
    if (mainBox == nullptr) {
        mainBox = new QWidget(blowView);
        mainBox->setObjectName(QStringLiteral("mainBox"));
        mainBox->setGeometry(FromBottomLeft(QRectF(kBoxX, 0, kBoxWidth, 90), stripHeight));
        abox = new QWidget(mainBox);
        abox->setObjectName(QStringLiteral("abox"));
        abox->setGeometry(0, 0, kBoxWidth, 90);
    }
    if (pauseButton == nullptr) {
        pauseButton = MakeImageButton(abox, "pause", Tr("Pause"));
        pauseButton->setObjectName(QStringLiteral("pauseButton"));
        placeInBox(pauseButton, QRectF(322, 32, 18, 18));
        pauseButton->setButtonEnabled(false);
    }
    if (continueScanButton == nullptr) {
        continueScanButton = MakeImageButton(abox, "play", Tr("Continue"));
        continueScanButton->setObjectName(QStringLiteral("continueScanButton"));
        placeInBox(continueScanButton, QRectF(322, 32, 18, 18));
        continueScanButton->hide();
    }
    if (stopButton == nullptr) {
        stopButton = MakeImageButton(abox, "stop", Tr("Stop"));
        stopButton->setObjectName(QStringLiteral("stopButton"));
        placeInBox(stopButton, QRectF(352, 32, 18, 18));
        stopButton->setButtonEnabled(false);
    }
    if (selectFilesLabel == nullptr) {
        selectFilesLabel =
            MakeLabel(abox,
                      Tr("QOV_FOUR_SELECT_FILES", KvPublicUtilities::longlongConvertVolSpace(0),
                         QStringLiteral("0")),
                      NamedFont("Helvetica Neue Thin", 16));
        selectFilesLabel->setObjectName(QStringLiteral("selectFilesLabel"));
        selectFilesLabel->setGeometry(FromBottomLeft(QRectF(0, 32, 300, 22), stripHeight));
        selectFilesLabel->hide();
    }
    if (recovertyButton == nullptr) {
        recovertyButton = MakeImageButton(abox, "btn_recover", QString());
        recovertyButton->setObjectName(QStringLiteral("recovertyButton"));
        placeInBox(recovertyButton, QRectF(386, 22, 138, 41));
        recovertyButton->setTextWithName(Tr("QOV_FOUR_RECOVERY_WINDOW_SAVE_BUTTON"),
                                         QRect(QPoint(0, 0), recovertyButton->size()));
        recovertyButton->setButtonEnabled(false);
    }
    if (advButton == nullptr) {
        advButton = MakeImageButton(abox, "btn_ds", Tr("deep scan"));
        advButton->setObjectName(QStringLiteral("advButton"));
        placeInBox(advButton, QRectF(534, 22, 166, 41));
        advButton->setButtonEnabled(false);
        updateButtonTitle();
    }
    if (findFilesLabel == nullptr) {
        findFilesLabel = MakeLabel(abox, Tr("Please wait..."), NamedFont("Helvetica Light", 13));
        findFilesLabel->setObjectName(QStringLiteral("findFilesLabel"));
        findFilesLabel->setGeometry(FromBottomLeft(QRectF(0, 43, 300, 17), stripHeight));
    }
    if (remainTimeLabel == nullptr) {
        remainTimeLabel =
            MakeLabel(abox, Tr("Prepare to scan your drive"), NamedFont("Helvetica Light", 13));
        remainTimeLabel->setObjectName(QStringLiteral("remainTimeLabel"));
        remainTimeLabel->setGeometry(FromBottomLeft(QRectF(0, 23, 300, 17), stripHeight));
    }
    if (aboutButton == nullptr) {
        aboutButton = new TCImageButton(titleBarView());
        aboutButton->setObjectName(QStringLiteral("aboutButton"));
        aboutButton->setImageFromFileNormalName("icon_infor", "icon_infor_hover",
                                                "icon_infor_hover", "icon_infor");
        aboutButton->setToolTip(Tr("About us"));
        connect(aboutButton, &QAbstractButton::clicked, this,
                &KvDeletailWindowController::aboutAction);
    }
    search->setEnabled(false);
    layoutControls();
}

void KvDeletailWindowController::layoutControls() {
    // The strip spans the window.
    const int width = this->width();
    progressView->setGeometry(0, 0, width, KvProgressView::kBarHeight);
    // The box of scan controls takes the width beside the home button; its
    // buttons keep their distance from its right edge and its labels stretch.
    const int boxWidth = std::max(kBoxWidth, width - kBoxX - (kWindowWidth - kBoxX - kBoxWidth));
    const int grown = boxWidth - kBoxWidth;
    mainBox->setGeometry(kBoxX, 0, boxWidth, kControlStripHeight);
    abox->setGeometry(0, 0, boxWidth, kControlStripHeight);
    for (TCImageButton* button :
         {pauseButton, continueScanButton, stopButton, recovertyButton, advButton})
        placeInBox(button, button->property(kBoxFrame).toRectF());
    for (QLabel* label : {findFilesLabel, remainTimeLabel, selectFilesLabel})
        label->resize(300 + grown, label->height());
    if (aboutButton != nullptr)
        aboutButton->setGeometry(FromBottomLeft(QRectF(width - 40, 10, 16, 16), kTitleBarHeight));
    const int shift = width - kWindowWidth;
    segment->setGeometry((search->isHidden() ? kDesktopSegmentX : kSegmentX) + shift, 3, 104, 25);
    search->setGeometry(kSearchX + shift, 3, 190, 25);
}

void KvDeletailWindowController::placeInBox(QWidget* control, const QRectF& frame) {
    control->setProperty(kBoxFrame, frame);
    const int grown = abox->width() - kBoxWidth;
    control->setGeometry(FromBottomLeft(frame, kControlStripHeight).translated(grown, 0));
}

void KvDeletailWindowController::resizeEvent(QResizeEvent* event) {
    TCImageWindow::resizeEvent(event);
    if (blowView != nullptr && abox != nullptr)
        layoutControls();
}

void KvDeletailWindowController::setSelectDiskVolumeData(
    std::shared_ptr<DiskVolumeNodeData> device) {
    selectDiskVolumeData = std::move(device);
}

void KvDeletailWindowController::setSelectDesktop(int desktop) {
    selectDesktop = desktop;
    // The window is built before the main window hands the flag over.
    if (selectDesktop == 1)
        applyDesktopMode();
}

void KvDeletailWindowController::applyDesktopMode() {
    for (QPushButton* tab : {pathButton, typeButton, timeButton})
        tab->setEnabled(false);
    search->hide();
    layoutControls();
}

void KvDeletailWindowController::observe(const char* name,
                                         void (KvDeletailWindowController::*handler)()) {
    observers_.push_back(KvNotificationCenter::defaultCenter()->observe(
        name, this, [this, handler](const QVariant&) { (this->*handler)(); }));
}

void KvDeletailWindowController::stopObserving() {
    QObject::disconnect(detachObserver_);
    for (const QMetaObject::Connection& observer : observers_)
        QObject::disconnect(observer);
    observers_.clear();
}

void KvDeletailWindowController::setNotification() {
    observe(kvnote::kNormalScanValue, &KvDeletailWindowController::DataInitFinished);
    observeSearch();
    observeRecovery();
}

void KvDeletailWindowController::clearImportData() {
    stopObserving();
}

void KvDeletailWindowController::refreshTableView() {
    tableView->viewport()->update();
    tableView->reset();
}

void KvDeletailWindowController::selectRootItem() {
    switch (selectTypeCount) {
        case 0:
            pathOutlineView->selectRootItem();
            break;
        case 1:
            typeOutlineView->selectRootItem();
            break;
        case 2:
            createTimeOutlineView->selectRootItem();
            break;
        case 3:
            modifyTimeOutlineView->selectRootItem();
            break;
        default:
            break;
    }
}

void KvDeletailWindowController::setStopButtonCanBeUseState() {
    stopButton->setButtonEnabled(true);
}

void KvDeletailWindowController::updateButtonTitle() {
    QLabel* title = advButton->textField();
    if (title == nullptr) {
        advButton->setTextWithName(Tr("Deep Scan"), QRect(QPoint(0, 0), advButton->size()));
        title = advButton->textField();
    }
    title->setText(Tr("Deep Scan"));
    QFont font = NamedFont("Helvetica Neue Thin", 14);
    font.setUnderline(true);
    title->setFont(font);
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, QColor::fromRgbF(69.0f / 255.0f, 150.0f / 255.0f, 1.0f));
    title->setPalette(palette);
}

void KvDeletailWindowController::changeSelectCountLabelPos() {
    const QStringList languages = UserDefaults::languages();
    if (!languages.isEmpty() && languages.first() == QLatin1String("es")) {
        selectFilesLabel->setProperty(kBoxFrame, QVariant());
        selectFilesLabel->setGeometry(FromBottomLeft(QRectF(0, 35, 400, 22), kControlStripHeight));
    }
}

void KvDeletailWindowController::aboutAction() {
    ShowAbout(this);
}

void KvDeletailWindowController::closeEvent(QCloseEvent* event) {
    // The close button and the window manager both ask; the answer decides.
    event->ignore();
    closeWindow();
}

void KvDeletailWindowController::closeWindow() {
    if (isCloseWindow == 1)
        return;
    KvUIFacade& facade = KvUIFacade::current();
    // The close button is off while a search rebuilds the trees; a close from
    // the keyboard or the window manager waits the same way.
    if (facade.KvGetIsSearching())
        return;
    if (facade.IsScanRunning()) {
        alertEndedCloseWindowContext(AskWithScanPaused(ScanStopAlert(), this, facade.IsPause()));
        return;
    }
    if (SaveScanResult() == 0)
        return;
    stopWorkOfClosingWindow();
    hide();
    KvNotificationCenter::defaultCenter()->post(kvnote::kAppWillTerminate);
}

void KvDeletailWindowController::alertEndedCloseWindowContext(int code) {
    KvUIFacade& facade = KvUIFacade::current();
    if (code != 0) {
        facade.StopScan(1);
        isCanClick = 0;
        isCloseWindow = 1;
        isPause = 0;
        getScanProgress();
        for (TCImageButton* button : {backHomeButton, pauseButton, stopButton, continueScanButton})
            button->setButtonEnabled(false);
        return;
    }
    if (isPause == 0 && facade.IsPause())
        facade.PauseOrResumeScan();
    isCanClick = 1;
}

bool KvDeletailWindowController::applicationShouldTerminate() {
    if (shuttingDown == 1)
        return true;
    shuttingDown = 1;
    Fader::fadeOut(this, [this] { animationDidStop(); });
    return false;
}

void KvDeletailWindowController::animationDidStop() {
    if (windowOpacity() > 0.0)
        return;
    stopWorkOfClosingWindow();
    hide();
    if (shuttingDown == 1)
        KvNotificationCenter::defaultCenter()->post(kvnote::kAppWillTerminate);
}

void KvDeletailWindowController::RefreshDevice(const QVariant& object) {
    if (!selectDiskVolumeData)
        return;
    KvUIFacade& facade = KvUIFacade::current();
    const QString removed = object.toMap().value(QStringLiteral("USBPath")).toString();
    bool left = false;
    if (!removed.isEmpty()) {
        left = RemovalNamesDevice(removed, *selectDiskVolumeData);
    } else {
        // A notice that names no device: only the device list can tell.
        DiskVolumeNodeList disks;
        facade.GetDeviceInfoToArray(&disks);
        left = !DeviceListHolds(disks, *selectDiskVolumeData);
    }
    if (!left)
        return;
    facade.StopScan(1);
    // One removal is enough: the medium's other devices go with it.
    QObject::disconnect(detachObserver_);
    const Alert alert = Alert::fromKeys("Message", "The usb device is detatched!", "OK");
    if (alert.run(this) == 1)
        doBackHomeAction(1);
}
