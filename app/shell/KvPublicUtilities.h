#pragma once

// Texts and facts the windows share: byte counts as text, file-system names,
// the private settings list, the network test, the system version and the
// interface language.

#include <QDateTime>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>

class QObject;

class KvPublicUtilities {
public:
    // Decimal units up to GB ("999 byte", "1.00 KB", "2000.00 GB").
    static QString convertVolSpace(uint64_t bytes);
    // Decimal units up to TB; a negative count is shown as bytes.
    static QString longlongDiskSize(int64_t bytes);
    static QString longlongConvertVolSpace(int64_t bytes);
    // More than 2048 decimal megabytes.
    static bool isMoreThan2GB(int64_t bytes);
    // Reads back a size text; 0 for an empty text or one ending in "byte".
    static uint64_t volSpaceFromString(const QString& text);
    static QString fileSystemTypeForInt(int fileSystem, int isDmg, int isOzt);

    static QString getProductName();
    static QString getProjectVersion();
    static QString getInstallVersion();
    static QString getUpDataTimeStr();
    // False when the list could not be written.
    static bool writeUpDataTimeStr(const QString& time);
    static bool isBootable();

    // Asks a public web page once, at most 5 seconds, without blocking: `done`
    // gets the answer on `context`'s thread.
    static void isCanBeUseNetWork(QObject* context, std::function<void(bool)> done);
    // A long date with a short time, in the current locale; invalid when it does not parse.
    static QDateTime convertDateFromString(const QString& text);
    // major x 100 + minor of the running system, the minor with two digits.
    static int getSystemVersion();
    static void getSystemVersionMajor(uint32_t* major, uint32_t* minor, uint32_t* bugFix);
    static QString GetCurrentLanaguage();
    // udev's description of the block device at `path`; empty when there is none.
    static QVariantMap KvGetDiskInfo(const QString& path);
};

// Runs a program with its arguments (no shell) and answers the path of a new
// temporary file holding what it printed; empty when it could not run. The
// caller removes the file.
QString KvExecCommand(const QString& program, const QStringList& arguments);
