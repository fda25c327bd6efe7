#pragma once

// The windows the main window hands over to, which their own modules make:
// the results window, the wait window of a load, the volume notice, the about
// window, and the file choosers. The application installs them at start; a
// road whose window is missing does nothing.

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class DiskVolumeNodeData;

// The results window as the main window sees it.
class KvDeletailWindow {
public:
    virtual ~KvDeletailWindow() = default;

    virtual QWidget* window() = 0;
    virtual void setSelectDiskVolumeData(std::shared_ptr<DiskVolumeNodeData> device) = 0;
    // 1 the normal scan, 2 the deep scan.
    virtual void setScanTypeNum(int mode) = 0;
    virtual void setSelectDesktop(int desktop) = 0;
    // Starts the scan of the device handed over.
    virtual void getData() = 0;
    // Shows the saved scan result at `path` as it loads.
    virtual void getImportData(const QString& path) = 0;
    // Forgets a load that failed or was cancelled.
    virtual void clearImportData() = 0;
    // Closes as its close button does, asking its questions first (stop the
    // scan, save the result); once closed the application ends.
    virtual void closeWindow() = 0;
};

struct KvShellWindows {
    std::function<std::unique_ptr<KvDeletailWindow>()> makeResultsWindow;
    // Makes the wait window of a load over `parent`, calls `start` (which
    // starts the load), runs the window modally and answers its result:
    // nonzero when the load succeeded.
    std::function<int(QWidget* parent, const std::function<void()>& start)> runLoadWait;
    // Explains, modally, why the chosen volume cannot be scanned.
    std::function<void(QWidget* parent)> showVolumeNotice;
    std::function<void(QWidget* parent)> showAbout;
    // Runs the update window modally; `closed` runs when it closes.
    std::function<void(const std::function<void()>& closed)> runUpdateWindow;
    // Asks for a saved scan result (starting in `folder`); "" when cancelled.
    std::function<QString(QWidget* parent, const QString& folder)> chooseSavedResult;
    // Asks for an Apple disk image; "" when cancelled.
    std::function<QString(QWidget* parent)> chooseDiskImage;
};

// The file choosers of the desktop; the other windows stay unset.
KvShellWindows DesktopShellWindows();
