#pragma once

// The results window: the scan of the chosen device (or a loaded scan result)
// in four trees on the left (by path, type, creation month, modification
// month) and a list, thumbnail grid or cover flow of the selected node's
// files on the right, under a title bar with the scan controls, the search
// field, the save button and the recover button.
//
// The window's whole state lives here, once. Each area of the window keeps
// its member functions in its own marked block below and defines them in its
// own source file (KvDeletailWindowController<Area>.cpp).

#include <QDateTime>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "BVPrototype.h"
#include "CNGridViewItemLayout.h"
#include "CNGridViewTypes.h"
#include "CommOutlineView.h"
#include "CoverFlowView.h"
#include "KvClock.h"
#include "KvScanProgressText.h"
#include "KvShellWindows.h"
#include "OpNodeData.h"
#include "RecoveryChecks.h"
#include "TCImageWindow.h"

class CNGridView;
class CNGridViewItemDelegate;
class CoverFlowLoader;
class DiskVolumeNodeData;
class FileListModel;
class GridThumbnailLoader;
class IFileNode;
class KvDeepScanViewController;
class KvNSTableView;
class KvProgressView;
class KvScanEndSaveWindowController;
class KvScanNotEndSaveWindowController;
class KvSegmentedControl;
class KvSearchField;
class KvShowScanProgressWindowController;
class MAAttachedWindow;
class Photo;
class QAbstractButton;
class QFileDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTimer;
class SpacePreviewWindow;
class TCImageButton;

class KvDeletailWindowController : public TCImageWindow,
                                   public KvDeletailWindow,
                                   public CommOutlineViewDelegate,
                                   public CNGridViewDataSource,
                                   public CNGridViewDelegate,
                                   public BVPrototypeDelegate,
                                   public CoverFlowDataSource {
    Q_OBJECT

public:
    // Title bar, and the strip below it with the scan controls.
    static constexpr int kTitleBarHeight = 36;
    static constexpr int kControlStripHeight = 90;
    // The bar above the trees and the file views: tree tabs, view switch, search.
    static constexpr int kToolBarHeight = 31;
    static constexpr int kWindowWidth = 900;
    static constexpr int kWindowHeight = 640;
    // The file list's size and date columns; names and paths share the rest.
    static constexpr int kSizeColumnWidth = 90;
    static constexpr int kCreatedColumnWidth = 150;

    // Builds the window and its views and sets them up; the main window then
    // hands over the device, the mode and the desktop flag, and starts.
    explicit KvDeletailWindowController(QWidget* parent = nullptr);
    ~KvDeletailWindowController() override;

    // --- The main window's entry ---------------------------------------------
    QWidget* window() override { return this; }
    void setSelectDiskVolumeData(std::shared_ptr<DiskVolumeNodeData> device) override;
    void setScanTypeNum(int mode) override { scanTypeNum = mode; }
    void setSelectDesktop(int desktop) override;
    void getData() override;
    void getImportData(const QString& path) override;
    void clearImportData() override;

    // --- Set-up and life cycle -----------------------------------------------
    void awakeFromNib();
    void windowDidLoad();
    void buildDetailViewWindowTitleBar();
    void setNotification();
    void refreshTableView();
    void selectRootItem();
    void setStopButtonCanBeUseState();
    void updateButtonTitle();
    void changeSelectCountLabelPos();
    void aboutAction();
    // The close button, and quitting while the window is open.
    void closeWindow() override;
    void alertEndedCloseWindowContext(int code);
    // Two-phase quit: the first request fades the window out and answers
    // false; the end of the fade closes it and, when quitting, ends the program.
    bool applicationShouldTerminate();
    void animationDidStop();
    // A medium went away ("RefreshDetachDevice").
    void RefreshDevice(const QVariant& object);

    // --- Loading the trees -----------------------------------------------------
    void DataInitFinished();
    void setFoundAllFiles();

    // --- State shared with every area --------------------------------------------
    int getScanTypeNum() const { return scanTypeNum; }
    int getSelectDesktop() const { return selectDesktop; }
    const std::shared_ptr<DiskVolumeNodeData>& getSelectDiskVolumeData() const {
        return selectDiskVolumeData;
    }
    int64_t getSelectTypeCount() const { return selectTypeCount; }
    OpNodeArray& getAllDiskArr() { return allDiskArr; }
    std::vector<IFileNode*>& getArrList() { return arrList; }
    QWidget* getBlowView() const { return blowView; }

    // CommOutlineViewDelegate.
    int gridImageState() const override { return gridImageState_; }
    int nImageState() const override { return nImageState_; }
    int64_t selectSegmentCount() const override { return selectSegmentCount_; }
    void stopGridImageLoading() override;
    void stopImageLoading() override;

    // BVPrototypeDelegate.
    uint64_t viewLoadCnt() override { return viewLoadCnt_; }

    // Scan progress and its end.
    // The clock of the progress tick, the dots and the delayed steps; tests
    // hand the window one they move by hand.
    void setClock(KvClock* clock);
    KvClock& clock() const { return *progressClock; }
    // On every scan notice: the status area, and the end of the scan once it
    // no longer runs.
    void getScanProgress();
    // The 1.5 s tick: the dots on or off, then the bar; it stops at 100 %.
    void showScanProgree();
    // Buttons, remaining time and bar; answers the percentage, at least 1.
    double doShowScanProgree();
    void beginShowFoundCountPoint();
    void showFoundCountPoint();
    void stopShowFoundCountPoint();
    void getFindFilesCountWith(const QString& suffix);
    // The selection label in place of the progress.
    void showRecoveryButton() override;
    // Shows `view` (the deep-scan offer) in a pop-up by the window; it goes
    // by itself 8 s later.
    void showPopoverWithViewController(QWidget* view);
    void popupViewHidden();
    // Keeps an open offer at its place on the window when its size changes.
    void moveDeepScanOffer();
    // The deep-scan button: empties the window and starts a deep scan of the
    // same device 0.2 s later.
    void deepSrcanButtonAction();
    void doDeepScanAction();

private:
    // Switches from scanning to browsing; true when the window closed.
    bool endScan();
    void setUpScanProgress();
    // Runs `what` after `ms` on the window's clock unless the window goes first.
    void runAfter(int ms, std::function<void()> what);

    KvClock* progressClock = &KvClock::system();
    KvFoundCountDots pointCount;
    std::vector<std::unique_ptr<KvClockTimer>> delayedCalls;

public:
    // List table, sorting and preview.
    // Both tables over the found files, their header clicks, row choice and
    // check boxes; the trees' double click; the space-bar preview.
    void setUpListTables();
    void tableViewShouldSelectRow(KvNSTableView* table, int row);
    void tableViewDidClickTableColumn(KvNSTableView* table, int column);
    void selectOutlineListWithOpNodeData(OpNodeData* node, int refresh) override;
    void doubleClick(CommOutlineView* sender, const QModelIndex& clicked);
    void spacePrviewFile();
    // The rows of both tables.
    FileListModel* listModel = nullptr;
    // The table whose header shows the sort indicator, and its direction.
    KvNSTableView* sortIndicatorTable = nullptr;
    bool sortIndicatorAscending = false;

    // Check marks and the selection count.
    // A check box of a table row; `clickedRow` is the row of the table clicked.
    void nsbuttonCellClick(int clickedRow);
    void doSelectItem(uint64_t index);
    // A check box of a tree node other than the trees' own rows.
    void clickButtonAction(OpNodeData* node);
    void setAllSelectOrNoSelect();
    int GetCellNodeState(OpNodeData* node);
    void changeSelectAllButtonState();
    void showSelectFilesCountAndSize();
    void reLoadCollectionViewData();
    QWidget* getListViewTableHeaderView();
    QWidget* changeCoverViewTableHeaderView();
    void reLoadTableVolumnIndicatorImage() override;
    // After a mark changed: the select-all boxes, the count, the shown tree's
    // derived marks and all four trees.
    void refreshMarksTail();
    void refreshShownTreeStates();

    // Tree tabs, detail refresh and layout.
    void setUpTreeTabs();
    // Shows tree `tree` (0 path, 1 type, 2 creation, 3 modification date).
    void showTree(int tree);
    void pathButtonClick();
    void typeButtonClick();
    void timeButtonClick();
    void modifyTimeButtonClick();
    static void setButtonTitleColor(QPushButton* button, const QColor& color);
    void segmentSelect(int selected);
    void refashDetailPageDataWithRefashSizeAndCount(int refresh);
    // Fills the list, grid or cover flow, whichever is shown, from arrList.
    void showFilesInCurrentView();
    void showNoValueNote();
    void changeNoValue(int remove);
    float getLableHight() const;
    void changeNoValueNodeViewFrame();
    void windowDidResize();

    // Grid and cover flow.
    // Stops both picture loaders and waits until neither touches a node:
    // call before arrList changes or the trees are emptied.
    void stopAllImageLoadingAndWait();
    void setUpImageLoaders();
    // Gives every file of arrList a photo waiting for its picture; a nonzero
    // `refresh` does so even when the centred picture has not moved.
    void showCoverFlowerViewWithRefresh(int refresh);
    // Centres `index` and loads the pictures around it.
    void selectedCoverFlow(int64_t index);
    // Loads the pictures around `centre` that are still waiting, once the
    // last run has stopped.
    void coverFlowLoadImageThread(int64_t centre);
    // A picture of the current run reaches its photo.
    void loadImageForCoverFlowWithImage(int64_t index, const QString& name, const QImage& image);
    // The user chose a picture in the cover flow.
    void imageFlowDidSelectItemAtIndex(CoverFlowView* view, int64_t index);
    void showGridView();
    CoverFlowLoader* coverFlowLoader = nullptr;
    GridThumbnailLoader* gridThumbnailLoader = nullptr;
    // Hands the grid items' check boxes to doSelectItem.
    CNGridViewItemDelegate* gridItemDelegate = nullptr;

    // Pause, stop and home.
    // The windows a main window opened on the way home hands over to; set
    // once at start.
    static void setShellWindows(KvShellWindows windows);
    // Connects the home, pause, continue and stop buttons.
    void setUpScanControls();
    // Unchecks the roots of the four trees.
    void clearSelectState();
    void pauseButtonClick();
    void stopButtonClick(TCImageButton* sender);
    void alertEndedBContext(int code);
    void stopAction();
    void doEndScan();
    void backButtonAction();
    void alertEndedAContext(int code);
    // Offers to save a finished scan before it is left: 1 go on, 0 stay.
    int SaveScanResult();
    // `ask`: offer to save first.
    void doBackHomeAction(int ask);
    void showRootWindow();
    // Ends what would still run on the window once it has closed: the picture
    // loaders, waited for, and every timer.
    void stopWorkOfClosingWindow();
    // The delayed steps of the controls and the poll of a stopping scan.
    std::unique_ptr<KvClockTimer> stopDelay;
    std::unique_ptr<KvClockTimer> endScanPoll;
    std::unique_ptr<KvClockTimer> continueRefreshDelay;
    std::unique_ptr<KvClockTimer> rootWindowDelay;

    // Saving the result.
    // Builds the save button once; `show` shows it.
    void createExportButton(int show);
    void exportButtonAction();

    // Search.
    // The search field takes the layout's place; the recent searches come
    // from the settings.
    void setUpSearch();
    void observeSearch();
    // The search field's action; 1 when a search was started.
    int doSearch();
    QString GetSearchText() const;
    // "DoSearchValue": a tree of the search is ready.
    void searchTreeReady();
    // The search has ended: the trees and the list of hits.
    void searchFinished();
    // "DoSearchFinished".
    void reloadTreeView();
    // Empties the field and searches; 1 when a search was started.
    int searchClearButtonClick();
    void selectClear();
    void doEndScanSearch();
    void ClearSelectedFilesInfo();
    void saveSearchHistroy();
    void addSearchHistory();
    void addSearchHistoryMenu();
    void reloadTreesFromRoots();
    void setCloseButtonEnabled(bool enabled);
    // `search`, as the search field it is.
    KvSearchField* searchField = nullptr;
    // The template of the recent-searches menu.
    QMenu* searchMenu = nullptr;

    // Recovery.
    void setUpRecovery();
    void observeRecovery();
    // The Recover button: the folder chooser.
    void recoveryButtonClick();
    // The chooser ended with `result` (QDialog::Accepted for the prompt
    // button) and `folder` chosen.
    void chooserEnded(int result, const QString& folder);
    // A saved result whose drive is not connected lists its files but
    // cannot read them: says so and answers true when that is the case.
    bool refusedWithoutDevice();
    void alertNoCompetence();
    void alertSameDevice();
    void alertNoLeakOfSpace();
    void alertEndedCompetenceContext(int code);
    void alertEndedEContext(int code);
    void alertEndedNoSpaceContext(int code);
    // The root array of the shown tree; null for no tree.
    const OpNodeArray* shownTreeRoots() const;
    // Recovers the checked files of the shown tree into recoverySavePathStr.
    void startRecovery();
    // "DoRecovery".
    void recoveryAction();
    // The progress dialog's answers: 1 pause or resume, 2 stop.
    void stopButtonAction(int request);
    void showRecoveryEndWindow();
    void showRecoveryNotEndWindow();
    // What the folder checks ask of the system; tests answer in its place.
    RecoveryChecks::Environment recoveryEnvironment = RecoveryChecks::SystemEnvironment();

private:
    enum RecoveryEnd { kRecoveryNoEnd, kRecoveryFinished, kRecoveryStopped };
    void runRecoveryProgress();
    // Ends the progress dialog's own session and lets it go once no run uses it.
    void closeRecoveryProgress();
    // Shows the end window now, or once the progress dialog's run has returned.
    void showRecoveryEnd(RecoveryEnd end);
    bool progressRunning_ = false;
    RecoveryEnd pendingRecoveryEnd_ = kRecoveryNoEnd;

public:
protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // CNGridViewDataSource and CoverFlowDataSource: the grid and cover-flow
    // area answers them.
    uint64_t gridViewNumberOfItemsInSection(CNGridView* grid, int64_t section) override;
    CNGridViewItem* gridViewItemAtIndex(CNGridView* grid, int64_t index, int64_t section) override;
    uint64_t numberOfItemsInImageFlow(CoverFlowView* view) override;
    std::shared_ptr<Photo> imageFlowItemAtIndex(CoverFlowView* view, uint64_t index) override;

private:
    // Builds the window's views, as an interface file would.
    void loadNib();
    void buildLeftSide(QWidget* left);
    void buildRightSide(QWidget* right);
    void applyDesktopMode();
    void observe(const char* name, void (KvDeletailWindowController::*handler)());
    void stopObserving();
    // Where a deep scan (and import mode) puts the scan controls.
    void placeDeepScanControls();
    // Places a scan control in its box, AppKit frame at the box's narrowest;
    // it keeps its distance from the box's right edge.
    void placeInBox(QWidget* control, const QRectF& frame);
    // Stretches the title-bar strip's controls with the window's width.
    void layoutControls();

public:
    // The window's state, shared by its areas (and read by tests).

    // ----- Result data and selection -------------------------------------------
    // Roots of the path, type, created-date and modified-date trees; the
    // facade fills them while the window lives.
    OpNodeArray allDiskArr;
    OpNodeArray allTypeArr;
    OpNodeArray allCreatTimeArr;
    OpNodeArray allModifyTimeArr;
    // Shown tree: 0 path, 1 type, 2 created date, 3 modified date.
    int64_t selectTypeCount = 0;
    // Right-hand view: 0 list, 1 grid, 2 cover flow.
    int64_t selectSegmentCount_ = 0;
    // The found files shown on the right.
    std::vector<IFileNode*> arrList;
    // The tree node selected on the left; gone once the trees drop it.
    std::weak_ptr<OpNodeData> opDataFile;
    std::shared_ptr<DiskVolumeNodeData> selectDiskVolumeData;
    std::shared_ptr<DiskVolumeNodeData> selectVolumeData;
    // 1 quick scan of deleted files, any other value deep scan.
    int scanTypeNum = 1;
    // 1: the scan result is searched for the desktop folder at the end.
    int selectDesktop = 0;
    int isDeepScan = 0;
    int isImport = 0;
    QString lastSearchStr;
    // Last sorted column (-1 none) and its direction flag.
    int aTableColumn = -1;
    int isSorted = 0;
    int64_t selectedRow = 0;
    int tableViewCellNum = -1;
    int selectCellCount = 0;
    int selectedFileCnt = 0;
    uint64_t selectedFileSize = 0;
    uint64_t selectValue = 0;
    QString recoverySavePathStr;
    // Remembered frame of the recovery folder chooser.
    QRect rectNew;

    // ----- Views -----------------------------------------------------------------
    TCImageWindow* aWindow = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* titleImage = nullptr;
    // Left side.
    CommOutlineView* pathOutlineView = nullptr;
    CommOutlineView* typeOutlineView = nullptr;
    CommOutlineView* createTimeOutlineView = nullptr;
    CommOutlineView* modifyTimeOutlineView = nullptr;
    QPushButton* pathButton = nullptr;
    QPushButton* typeButton = nullptr;
    QPushButton* creatButton = nullptr;
    QPushButton* modifyButton = nullptr;
    QPushButton* timeButton = nullptr;
    QWidget* pathBlowView = nullptr;
    QWidget* typeBlowView = nullptr;
    QWidget* createTimeBlowView = nullptr;
    QWidget* modifyTimeBlowView = nullptr;
    QWidget* changeTimeBlowView = nullptr;
    QSplitter* splistView = nullptr;
    QWidget* splistLeftView = nullptr;
    // List view.
    KvNSTableView* tableView = nullptr;
    KvNSTableView* tableScrollView = nullptr;  // the table scrolls itself
    QWidget* listTableViewBlowView = nullptr;
    QWidget* listViewTableHeaderView = nullptr;
    QAbstractButton* listViewSelectAllButton = nullptr;
    // Cover flow.
    QWidget* coverFlower = nullptr;
    CoverFlowView* flowView = nullptr;
    KvNSTableView* coverFlowerTableView = nullptr;
    QWidget* coverViewTableHeaderView = nullptr;
    QAbstractButton* coverViewSelectAllButton = nullptr;
    std::vector<std::shared_ptr<Photo>> photos;
    QStringList imagesNameArr;
    int64_t flowSelectedIndex = 0;
    std::shared_ptr<Photo> publicItem;
    // Grid.
    CNGridView* gridMainView = nullptr;
    QWidget* gridView = nullptr;
    QScrollArea* newGridView = nullptr;  // the tiles of the collection view
    QList<BVPrototype*> items;
    CNGridViewItemLayout defaultLayout;
    CNGridViewItemLayout hoverLayout;
    CNGridViewItemLayout selectionLayout;
    // The no-result note over the grid area; null while none is shown.
    QWidget* gridNoValueView = nullptr;
    QWidget* nodeView = nullptr;
    // View switch: list, grid, cover flow.
    KvSegmentedControl* segment = nullptr;
    // Title-bar controls.
    TCImageButton* backHomeButton = nullptr;
    TCImageButton* pauseButton = nullptr;
    TCImageButton* continueScanButton = nullptr;
    TCImageButton* stopButton = nullptr;
    TCImageButton* recovertyButton = nullptr;
    TCImageButton* exportButton = nullptr;
    TCImageButton* advButton = nullptr;
    KvProgressView* progressView = nullptr;
    QWidget* mainBox = nullptr;
    QWidget* abox = nullptr;
    QLabel* findFilesLabel = nullptr;
    QLabel* remainTimeLabel = nullptr;
    QLabel* selectFilesLabel = nullptr;
    // The strip below the title bar that holds the controls.
    QWidget* blowView = nullptr;
    TCImageButton* aboutButton = nullptr;
    TCImageButton* continueButton = nullptr;
    QLabel* exportLabel = nullptr;
    QLabel* homeLabel = nullptr;
    QLabel* deepScanLabel = nullptr;
    QLineEdit* search = nullptr;

    // ----- Workers, timers and dialogs --------------------------------------------
    // Loader states: -1 never started, 0 running, 1 stop asked, 2 stopped.
    std::atomic<int> nImageState_{-1};
    std::atomic<int> gridImageState_{-1};
    QTimer* refreshTimer = nullptr;
    // The scan's progress tick and the found count's dots, on the window's clock.
    std::unique_ptr<KvClockTimer> getPorTimer;
    std::unique_ptr<KvClockTimer> foundCountTimer;
    // Collection-view items the refresh timer has filled so far.
    uint64_t viewLoadCnt_ = 0;
    // When the last "NormalScranValue" came, and the last progress text update.
    QDateTime oldData;
    int64_t lastUpdateTime = 0;
    QPointer<QFileDialog> panel;
    QPointer<KvShowScanProgressWindowController> recoveryProgressWindow;
    QPointer<KvScanEndSaveWindowController> scanEndSaveWC;
    QPointer<KvScanNotEndSaveWindowController> scanNotEndSaceWC;
    QPointer<KvDeepScanViewController> deepScanVC;
    QPointer<SpacePreviewWindow> spacePreviewWindow;
    QPointer<MAAttachedWindow> attachedWindow;
    QPointer<QWidget> popView;

    // ----- State flags -------------------------------------------------------------
    int shuttingDown = 0;
    int isCanClick = 0;
    int isPause = 0;
    int isCloseWindow = 0;
    int isBackHome = 0;
    int isSelectBackHome = 0;
    int isClodePopView = 0;
    int isFinishRecovery = 0;
    int isBeginRecovery = 0;
    int isRecoeryFromRecoveryWindow = 0;
    int isRecoveryEndSHowWindow = 0;
    int isSelectOutlineList = 0;
    int bSave = 0;

private:
    // Observers of the notification centre, dropped before the window goes.
    std::vector<QMetaObject::Connection> observers_;
    QMetaObject::Connection detachObserver_;
};
