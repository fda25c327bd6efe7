#include "KvDiskRelay.h"

#include <QVariantList>

#include "EngineLog.h"
#include "KvNotificationCenter.h"
#include "KvNotificationNames.h"

QVariantMap KvDiskRelay::recordOf(const KvMedium& medium) {
    return {{QStringLiteral("VolumePath"), medium.devicePath},
            {QStringLiteral("VolumeName"), medium.name},
            {QStringLiteral("VolumeSize"), QVariant::fromValue<qint64>(medium.sizeBytes)},
            {QStringLiteral("isDisk"), medium.isDisk}};
}

void KvDiskRelay::DiskAppeared(const KvMedium& medium) {
    CatchExeception::WriteLog("DiskAppeared add: %s\n", qPrintable(medium.devicePath));
    KvMedium whole = medium;
    whole.isDisk = true;
    arrived(whole);
}

void KvDiskRelay::DiskAppearedWithVolume(const KvMedium& medium) {
    CatchExeception::WriteLog("DiskAppearedWithVolume add volume: %s\n",
                              qPrintable(medium.devicePath));
    KvMedium volume = medium;
    volume.isDisk = false;
    arrived(volume);
}

void KvDiskRelay::arrived(const KvMedium& medium) {
    gone_.remove(medium.devicePath);
    // A list of its own per medium: observers keep what they need of it.
    KvNotificationCenter::defaultCenter()->post(kvnote::kRefreshAttachDevice,
                                                QVariantList{recordOf(medium)});
}

void KvDiskRelay::DiskDisappeared(const QString& devicePath) {
    if (gone_.contains(devicePath))
        return;
    gone_.insert(devicePath);
    CatchExeception::WriteLog("DiskDisappeared remove: %s\n", qPrintable(devicePath));
    KvNotificationCenter::defaultCenter()->post(
        kvnote::kRefreshDetachDevice, QVariantMap{{QStringLiteral("USBPath"), devicePath}});
}
