#include "KvSelectDiskViewController.h"

#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include "Geometry.h"
#include "KvCustomOutlineView.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"
#include "KvUIController.h"
#include "KvUIFacade.h"
#include "PageLayout.h"
#include "TCImageButton.h"
#include "Tr.h"
#include "UserDefaults.h"

namespace {

constexpr int kShowDelayMs = 100;

TCImageButton* MakeButton(QWidget* page, const QString& stem, const QRectF& frame) {
    auto* button = new TCImageButton(page);
    button->setGeometry(FromBottomLeft(frame, PageLayout::kPageHeight));
    button->setImageFromFileNormalName(stem + "_normal", stem + "_press", stem + "_hover",
                                       stem + "_disable");
    button->setButtonEnabled(true);
    return button;
}

}  // namespace

KvSelectDiskViewController::KvSelectDiskViewController(QWidget* parent)
    : QWidget(parent),
      outlineView_(new KvCustomOutlineView(this)),
      model_(new DiskListModel(this)),
      middleLabel_(new QLabel(this)),
      emptyLabel_(new QLabel(Tr("QOV_THREE_NO_EXTERNAL_DRIVE"), this)) {
    resize(PageLayout::kPageWidth, PageLayout::kPageHeight);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);

    KvNotificationCenter* center = KvNotificationCenter::defaultCenter();
    for (const char* name : {kvnote::kRefreshAttachDevice, kvnote::kRefreshDetachDevice})
        deviceObservers_.push_back(
            center->observe(name, this, [this](const QVariant&) { RefreshDevice(); }));

    middleLabel_->setGeometry(20, 10, 876, 30);
    outlineView_->setGeometry(20, 44, 876, 400);
    // Over the list while it is empty: what the list holds and how to fill it.
    emptyLabel_->setGeometry(120, 180, 676, 80);
    emptyLabel_->setAlignment(Qt::AlignCenter);
    emptyLabel_->setWordWrap(true);
    emptyLabel_->setStyleSheet(QStringLiteral("color: grey;"));
    emptyLabel_->hide();
    outlineView_->setModel(model_);
    outlineView_->setSelectionMode(QAbstractItemView::SingleSelection);
    outlineView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    outlineView_->setExpandsOnDoubleClick(false);
    outlineView_->setIconSize(QSize(24, 24));
    outlineView_->header()->setSectionsMovable(false);
    outlineView_->header()->setSectionsClickable(false);
    outlineView_->header()->setStretchLastSection(true);
    outlineView_->header()->resizeSection(DiskListModel::kName, 380);
    outlineView_->header()->resizeSection(DiskListModel::kSize, 140);
    outlineView_->header()->resizeSection(DiskListModel::kFileSystem, 140);
    outlineView_->header()->resizeSection(DiskListModel::kIsSSD, 100);
    outlineView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outlineView_->header()->viewport()->installEventFilter(this);
    connect(outlineView_, &QAbstractItemView::doubleClicked, this,
            &KvSelectDiskViewController::doubleToScan);
    connect(outlineView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &KvSelectDiskViewController::selectionChanged);
    connect(outlineView_, &QTreeView::expanded, this,
            &KvSelectDiskViewController::afterExpandOrCollapse);
    connect(outlineView_, &QTreeView::collapsed, this,
            &KvSelectDiskViewController::afterExpandOrCollapse);

    backButton_ = MakeButton(this, "icon_back", QRectF(20, 15, 60, 60));
    connect(backButton_, &QAbstractButton::clicked, this, &KvSelectDiskViewController::backHome);
    scanButton_ = MakeButton(this, "btn_scan", QRectF(742, 25, 138, 41));
    scanButton_->setTextWithName(Tr("QOV_THREE_SCAN_BUTTON"), QRect(0, 0, 138, 41));
    connect(scanButton_, &QAbstractButton::clicked, this,
            &KvSelectDiskViewController::scanButtonAction);
}

void KvSelectDiskViewController::InitFinished() {
    std::erase_if(allDiskArr_, [](const DiskNodeRef& disk) { return disk->children().empty(); });
    filling_ = true;
    model_->setDisks(allDiskArr_);
    emptyLabel_->setVisible(allDiskArr_.empty());
    outlineView_->setVisible(!allDiskArr_.empty());
    rootArr_.clear();
    outlineView_->expandAll();
    for (int row = 0; row < outlineView_->numberOfRows(); ++row) {
        const DiskVolumeNodeData* node = DiskListModel::nodeOf(outlineView_->itemAtRow(row));
        if (node != nullptr && !node->children().empty())
            rootArr_.insert(row);
    }
    outlineView_->setIsRootArr(rootArr_);
    const QModelIndex first = model_->index(0, 0);
    if (first.isValid()) {
        outlineView_->selectionModel()->select(
            first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    filling_ = false;
    markRow(first.isValid() ? 0 : -1);
    selectDiskVolume_ = model_->recordOf(first);
    report(selectDiskVolume_);
    scanButton_->setButtonEnabled(selectDiskVolume_ != nullptr);
    outlineView_->setFocus();
}

void KvSelectDiskViewController::RefreshDevice() {
    if (refreshing_) {
        refreshAgain_ = true;
        return;
    }
    refreshing_ = true;
    refreshAgain_ = false;
    scanButton_->setButtonEnabled(false);
    QPointer<KvSelectDiskViewController> page(this);
    // Stopping a scan and enumerating the devices may take many seconds; the
    // bridge's worker threads are waited for when the program quits.
    KvUIController::DoOperation(
        [page] {
            KvUIFacade::current().RefreshDeviceInfo();
            KvNotificationCenter::defaultCenter()->enqueue([page] {
                if (page.isNull())
                    return;
                page->refreshing_ = false;
                page->getDiskValue();
                if (page->refreshAgain_)
                    page->RefreshDevice();
            });
        },
        nullptr, QString(), false);
}

void KvSelectDiskViewController::getDiskValue() {
    allDiskArr_.clear();
    KvUIFacade::current().GetDeviceInfoToArray(&allDiskArr_);
    QTimer::singleShot(kShowDelayMs, this, [this] {
        if (!refreshing_)
            InitFinished();
    });
}

void KvSelectDiskViewController::disableRefreshDevice() {
    for (const QMetaObject::Connection& observer : deviceObservers_)
        QObject::disconnect(observer);
    deviceObservers_.clear();
}

void KvSelectDiskViewController::removeNotification() {
    disableRefreshDevice();
}

void KvSelectDiskViewController::markRow(int64_t row) {
    selectedRow_ = row;
    outlineView_->setSelectCellBackgroundColorWithRow(row);
    model_->setMarked(DiskListModel::nodeOf(outlineView_->itemAtRow(static_cast<int>(row))));
}

void KvSelectDiskViewController::report(const DiskNodeRef& node) {
    oldSelectDiskVolume_ = node;
    emit changeSelectDiskViewContinueButtonEnabled(node);
}

void KvSelectDiskViewController::choose(const QModelIndex& index) {
    const int row = outlineView_->rowForItem(index);
    isSelectDesktop_ = row == 0 && desktopVolume_ != nullptr ? 1 : 0;
    bClickHead_ = false;
    markRow(row);
    selectDiskVolume_ = model_->recordOf(index.siblingAtColumn(0));
    const DiskVolumeNodeData* disk = model_->diskOf(selectDiskVolume_.get());
    selectDiskVolume_->setParentName(disk != nullptr ? disk->name() : selectDiskVolume_->name());
}

void KvSelectDiskViewController::clearChoice() {
    markRow(-1);
    selectDiskVolume_.reset();
}

void KvSelectDiskViewController::selectionChanged() {
    if (filling_)
        return;
    const QModelIndexList rows = outlineView_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        clearChoice();
    else
        choose(rows.first());
    report(selectDiskVolume_);
    scanButton_->setButtonEnabled(selectDiskVolume_ != nullptr && !refreshing_);
}

void KvSelectDiskViewController::afterExpandOrCollapse() {
    if (filling_)
        return;
    markRow(-1);
    reloadCellBackgroundColor();
}

void KvSelectDiskViewController::reloadCellBackgroundColor() {
    if (rootArr_.isEmpty())
        return;
    rootArr_.clear();
    const int rows = outlineView_->numberOfRows();
    for (int row = 0; row < rows; ++row) {
        const DiskVolumeNodeData* node = DiskListModel::nodeOf(outlineView_->itemAtRow(row));
        if (node != nullptr && (!node->children().empty() || node->isOzt() != 0))
            rootArr_.insert(row);
    }
    outlineView_->setIsRootArr(rootArr_);
}

void KvSelectDiskViewController::scanButtonAction() {
    const bool desktop = isSelectDesktop_ == 1;
    if (desktop)
        report(desktopVolume_);
    UserDefaults::setValue(QStringLiteral("isSelectDesktopDisk"), desktop);
    emit doubleClickedListToScan(isSelectDesktop_);
}

void KvSelectDiskViewController::doubleToScan() {
    if (outlineView_->isSelectRow() != -1 && !bClickHead_)
        scanButtonAction();
}

bool KvSelectDiskViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == outlineView_->header()->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick))
        bClickHead_ = true;
    return QWidget::eventFilter(watched, event);
}
