#include "KvShellWindows.h"

#include <QFileDialog>

KvShellWindows DesktopShellWindows() {
    KvShellWindows windows;
    windows.chooseSavedResult = [](QWidget* parent, const QString& folder) {
        return QFileDialog::getOpenFileName(parent, QString(), folder,
                                            QStringLiteral("Harbex (*.Harbex)"));
    };
    windows.chooseDiskImage = [](QWidget* parent) {
        return QFileDialog::getOpenFileName(parent, QString(), QString(),
                                            QStringLiteral("dmg (*.dmg)"));
    };
    return windows;
}
