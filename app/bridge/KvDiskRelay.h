#pragma once

// Tells the windows of media that come and go: each arrival as
// "RefreshAttachDevice" with a list of exactly one record ("VolumePath",
// "VolumeName", "VolumeSize", "isDisk"), each removal once as
// "RefreshDetachDevice" with the device node under "USBPath", so the results
// window can tell whether the medium it scans is the one that left.

#include <QSet>
#include <QString>
#include <QVariantMap>

#include <cstdint>

struct KvMedium {
    QString devicePath;  // "/dev/sdb", "/dev/sdb1"
    QString name;        // the medium's name, "" when it has none
    int64_t sizeBytes = 0;
    bool isDisk = true;  // a whole medium rather than a volume on it
};

class KvDiskRelay {
public:
    static QVariantMap recordOf(const KvMedium& medium);

    // A whole medium arrived.
    void DiskAppeared(const KvMedium& medium);
    // A volume that can be mounted arrived.
    void DiskAppearedWithVolume(const KvMedium& medium);
    // A medium left; a second report of the same removal posts nothing.
    void DiskDisappeared(const QString& devicePath);

private:
    void arrived(const KvMedium& medium);

    // Media reported gone and not back since.
    QSet<QString> gone_;
};
