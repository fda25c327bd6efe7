#pragma once

// The main window: the file-type page and the device page side by side in a
// content area twice the window's width, a title bar with the about and
// import buttons, and the hand-over of the chosen device, scan mode and
// desktop flag to a new results window, or of a saved scan result.

#include <QMetaObject>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <vector>

#include "DiskListModel.h"
#include "KvShellWindows.h"
#include "TCImageWindow.h"

class KvSelectDiskViewController;
class KvSelectTypeViewController;
class QLabel;
class TCImageButton;

class KvRootWindowController : public TCImageWindow {
    Q_OBJECT

public:
    // Differences of a disk's size and its only volume's that leave room
    // for lost partitions worth a look at the device page.
    static constexpr uint64_t kRoomForPartitions = 100000;

    // How many devices the user may choose between, and the volume the
    // device page would be skipped for (null when none was counted).
    struct Candidates {
        int count = 0;
        DiskNodeRef first;
        DiskNodeRef last;
    };
    static Candidates countCandidates(const DiskNodeArray& disks);

    explicit KvRootWindowController(KvShellWindows windows, QWidget* parent = nullptr);
    ~KvRootWindowController() override;

    // Sets the window up; ends the process when another copy runs.
    void windowDidLoad();
    void SetImportPath(const QString& path) { rsfPath_ = path; }

    // The type page's requests.
    void nextButtonActionWithAllTypeArr(const QStringList& categories);
    void selectTypesContinouButtonClick();
    void changeScanTypeWithNum(int mode) { selectScanType_ = mode; }
    void isSelectOffice(int selected) { isSelectOffice_ = selected; }
    void importButtonAction() { importButtonClick(); }

    // The device step.
    void getDiskData();
    void InitFinished();
    void changeSelectDiskViewContinueButtonEnabled(const DiskNodeRef& volume);
    void doubleClickedListToScan(int desktop);
    void backHome();

    void getDataForDeletailPage();
    void showDetailWindow();
    void importButtonClick();
    // The type page as first shown, without the window's bottom buttons.
    void showTypePageAlone();
    // Opens the saved scan result at `path` as the import button does: the
    // wait window while it loads, then the results window.
    void importSavedResult(const QString& path);
    void getImportDataForDetialPage();
    void doSowExportOztWindow();
    void loadOztWithPath(const QString& path);
    void closeWindow();
    void aboutAction();

    int whichPage() const { return whichPage_; }
    int selectValues() const { return selectValues_; }
    int selectScanType() const { return selectScanType_; }
    int selectDesktop() const { return selectDesktop_; }
    const DiskNodeRef& selectVolumeData() const { return selectVolumeData_; }
    const QString& importFilePath() const { return importFilePath_; }
    KvSelectTypeViewController* selectTypeVC() const { return selectTypeVC_; }
    KvSelectDiskViewController* selectDiskVC() const { return selectDiskVC_; }
    KvDeletailWindow* deletailWC() const { return deletailWC_.get(); }
    TCImageButton* backHomeButton() const { return backHomeButton_; }
    TCImageButton* continueButton() const { return continueButton_; }
    TCImageButton* importButton() const { return importButton_; }
    TCImageButton* aboutButton() const { return aboutButton_; }
    // The two pages side by side, twice the window's width.
    QWidget* pagesView() const { return pagesView_; }
    int isNotFristLoad() const { return isNotFristLoad_; }
    void setIsNotFristLoad(int value) { isNotFristLoad_ = value; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildTileBarView();
    void createImportButton();
    void buildFristPageView();
    void InfoButtonClick();
    void slide(QWidget* first, int firstX, QWidget* second, int secondX);
    void observe(const char* name, void (KvRootWindowController::*handler)());
    void stopObserving();
    // The results window, placed below where the main window stands.
    std::unique_ptr<KvDeletailWindow> makeResultsWindow();
    void setContinueButton(TCImageButton* button, QLabel* label, const QString& stem,
                           const QString& caption);

    KvShellWindows windows_;
    KvSelectTypeViewController* selectTypeVC_ = nullptr;
    KvSelectDiskViewController* selectDiskVC_ = nullptr;
    std::unique_ptr<KvDeletailWindow> deletailWC_;
    TCImageButton* backHomeButton_;
    TCImageButton* continueButton_;
    TCImageButton* importButton_ = nullptr;
    TCImageButton* aboutButton_ = nullptr;
    QWidget* contentArea_;
    QWidget* pagesView_;
    QLabel* titleLabel_ = nullptr;
    QLabel* backLabel_;
    QLabel* continueLabel_;
    QString importFilePath_;
    QString rsfPath_;
    int whichPage_ = 2;
    int selectValues_ = 0;
    DiskNodeRef selectVolumeData_;
    int isNotFristLoad_ = 0;
    int isSelectOffice_ = 0;
    int selectScanType_ = 1;
    int selectDesktop_ = 0;
    QStringList allTypeArr_;
    bool loaded_ = false;
    std::vector<QMetaObject::Connection> observers_;
};
