#include "ScanResultSaver.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include "Alert.h"
#include "KvNotificationNames.h"
#include "KvPublicUtilities.h"
#include "KvUIFacade.h"
#include "SavePanel.h"
#include "Tr.h"

namespace ScanResultSaver {

namespace {

enum class Destination { kChooseAgain, kGiveUp, kUse };

Destination CheckWritable(const QString& folder) {
    if (canWriteInto(folder))
        return Destination::kUse;
    Alert alert;
    alert.message = QStringLiteral("Warning!");
    alert.informativeText = Tr("SAVE_CANNOT_WRITE");
    alert.defaultButton = Tr("CHANG_DESTINATION");
    alert.alternateButton = Tr("QOV_FOUR_SCAN_STOP_NO_BUTTON");
    return alert.run() == 1 ? Destination::kChooseAgain : Destination::kGiveUp;
}

// Writing onto the scanned device may overwrite what is still to be found:
// the user decides.
Destination CheckDevice(const QString& folder) {
    if (!KvUIFacade::current().IsRecoveryToSameDevice(folder))
        return Destination::kUse;
    const Alert alert =
        Alert::fromKeys("SAVE_SAME_DISK_WARNING", "SAVE_SAME_DISK_PROMPT", "CHANG_DESTINATION",
                        "QOV_FOUR_SCAN_STOP_NO_BUTTON", "QOV_FOUR_SCAN_STOP_YES_BUTTON");
    switch (alert.run()) {
        case 1:
            return Destination::kChooseAgain;
        case 0:
            return Destination::kGiveUp;
        default:
            return Destination::kUse;
    }
}

}  // namespace

bool canWriteInto(const QString& folder) {
    // Asked with the identity that will make the file; a writable parent
    // folder is no help.
    const QByteArray path = QFile::encodeName(folder);
    return !path.isEmpty() && faccessat(AT_FDCWD, path.constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

QString run(QWidget* window, const WaitRunner& wait) {
    KvUIFacade& facade = KvUIFacade::current();
    QString directory;
    for (;;) {
        SavePanel panel;
        panel.directory = directory;
        panel.nameFieldStringValue = facade.GetSaveFileName();
        panel.allowedFileType = KvPublicUtilities::getProductName();
        const QString path = panel.run(window);
        if (path.isEmpty())
            return {};
        const QString folder = QFileInfo(path).absolutePath();
        directory = folder;

        Destination destination = CheckWritable(folder);
        if (destination == Destination::kUse)
            destination = CheckDevice(folder);
        if (destination == Destination::kChooseAgain)
            continue;
        if (destination == Destination::kGiveUp)
            return {};

        const int saved = wait(window, [&facade, &path] {
            facade.RestorPostUIUpdate(kvnote::kQueryProgressInfo, true);
            facade.beginSaveOrRestoreNode(1, path, QString());
        });
        if (saved == 0)
            return {};
        facade.SavePathToPList(path);
        return path;
    }
}

}  // namespace ScanResultSaver
